// The default faces of the Unicode font chain, found through fontconfig.
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "formats/pdf/pdf_unicode_font.h"
#include "formats/pdf/pdf_unicode_font_files.h"

namespace velmora {

namespace {

struct TFcPatternDeleter {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
struct TFcFontSetDeleter {
  void operator()(FcFontSet* set) const { FcFontSetDestroy(set); }
};
using TFcPattern = std::unique_ptr<FcPattern, TFcPatternDeleter>;
using TFcFontSet = std::unique_ptr<FcFontSet, TFcFontSetDeleter>;

// The fonts fontconfig offers for a request, best first: each file with the
// index of its face in it and its family.
struct TFontOffer {
  std::string File;
  int Index = 0;
  std::string Family;
};

std::vector<TFontOffer> SortedFonts(FcConfig* config, const char* family, bool bold, const char* language) {
  std::vector<TFontOffer> offers;
  TFcPattern pattern(FcPatternCreate());
  if (!pattern) return offers;
  if (family) FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  if (language) FcPatternAddString(pattern.get(), FC_LANG, reinterpret_cast<const FcChar8*>(language));
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern.get(), FC_SLANT, FC_SLANT_ROMAN);
  FcConfigSubstitute(config, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  TFcFontSet set(FcFontSort(config, pattern.get(), FcFalse, nullptr, &result));
  if (!set) return offers;
  for (int index = 0; index < set->nfont; ++index) {
    FcPattern* font = set->fonts[index];
    FcChar8* file = nullptr;
    FcChar8* font_family = nullptr;
    int face_index = 0;
    if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch) continue;
    FcPatternGetInteger(font, FC_INDEX, 0, &face_index);
    FcPatternGetString(font, FC_FAMILY, 0, &font_family);
    if (language) {
      FcLangSet* languages = nullptr;
      if (FcPatternGetLangSet(font, FC_LANG, 0, &languages) != FcResultMatch ||
          FcLangSetHasLang(languages, reinterpret_cast<const FcChar8*>(language)) == FcLangDifferentLang)
        continue;
    }
    offers.push_back({reinterpret_cast<const char*>(file), face_index,
                      font_family ? reinterpret_cast<const char*>(font_family) : ""});
  }
  return offers;
}

}  // namespace

std::vector<std::string> TUnicodeFontChain::DefaultFiles(bool bold) {
  std::vector<std::string> files;
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (!config) return files;
  // The chain reads the first face of a file only, and each file once.
  auto take = [&files](const TFontOffer& offer) {
    if (offer.Index != 0 || std::find(files.begin(), files.end(), offer.File) != files.end()) return false;
    if (!IsEmbeddableTrueTypeFile(offer.File)) return false;
    files.push_back(offer.File);
    return true;
  };
  // The face for Latin, Greek, Cyrillic, Arabic and Hebrew: DejaVu Sans when
  // installed, else the best sans-serif face fontconfig has.
  for (const char* family : {"DejaVu Sans", "sans-serif"}) {
    bool taken = false;
    for (const TFontOffer& offer : SortedFonts(config, family, bold, nullptr))
      if ((taken = take(offer))) break;
    if (taken) break;
  }
  // Then the faces for Chinese, Japanese and Korean.
  for (const TFontOffer& offer : SortedFonts(config, "Droid Sans Fallback", false, nullptr))
    if (offer.Family == "Droid Sans Fallback" && take(offer)) break;
  for (const char* language : {"zh-cn", "ja", "ko"}) {
    const std::vector<TFontOffer> offers = SortedFonts(config, nullptr, false, language);
    // A face already in the chain that covers the language is enough.
    bool covered = false;
    for (const TFontOffer& offer : offers)
      if (offer.Index == 0 && std::find(files.begin(), files.end(), offer.File) != files.end()) covered = true;
    if (covered) continue;
    for (const TFontOffer& offer : offers)
      if (take(offer)) break;
  }
  FcConfigDestroy(config);
  return files;
}

}  // namespace velmora
