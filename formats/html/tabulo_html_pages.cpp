// The files of a split HTML export: the numbered pages, their navigation bars
// and the index page, and the links between them.
#include <algorithm>
#include <filesystem>

#include "formats/html/tabulo_html.h"
#include "platform/file_system.h"
#include "platform/output_file_set.h"
#include "platform/text_utils.h"

namespace velmora {

namespace {

// Bytes a link may carry as they are; everything else is percent-encoded.
bool LinkSafe(unsigned char byte) {
  if (byte <= 0x20 || byte >= 0x7F) return false;
  switch (byte) {
    case '"':
    case '#':
    case '%':
    case '?':
    case '&':
    case '<':
    case '>':
    case '\'':
    case '\\':
    case '^':
    case '`':
    case '{':
    case '|':
    case '}':
      return false;
  }
  return true;
}

// A relative path as a link: percent-encoded, and led by "./" when its first
// segment holds a ":" that would otherwise read as a scheme.
std::string EncodeLinkPath(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string link;
  const std::size_t colon = path.find(':');
  if (colon != std::string_view::npos && colon < path.find('/')) link = "./";
  for (const char character : path) {
    const auto byte = static_cast<unsigned char>(character);
    if (LinkSafe(byte)) {
      link += character;
    } else {
      link += '%';
      link += kHex[byte >> 4];
      link += kHex[byte & 0x0F];
    }
  }
  return link;
}

}  // namespace

std::string RelativeLink(std::string_view page_directory, std::string_view target) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path base =
      fs::absolute(fs::path(page_directory.empty() ? "." : page_directory), error).lexically_normal();
  const fs::path file = fs::absolute(fs::path(target), error).lexically_normal();
  fs::path relative = file.lexically_relative(base);
  if (relative.empty()) relative = file;
  return EncodeLinkPath(relative.generic_string());
}

std::string TTabuloHTML::PageFileName(int page) const {
  return NumberedFileName(FileName, page, 2);
}

void TTabuloHTML::OpenPageFile() {
  THTMLPageOption& page = pages_.emplace_back();
  page.FileName = PageFileName(page_count_);
  page.Member = OutputFiles().Count();
  Writer().Redirect(OutputFiles().Add(page.FileName));
}

void TTabuloHTML::SuspendPageFile() {
  // The writer must not keep the stream that the suspension ends.
  Writer().Redirect(OutputFiles().Main());
  OutputFiles().Suspend(pages_.back().Member);
}

// ---------------------------------------------------------------------------
// Index page

void TTabuloHTML::WriteIndex() {
  TOutputStream& index = OutputFiles().Main();
  Writer().Redirect(index);
  WriteHead();
  std::string text = "<UL>\r\n";
  for (int page = 1; page <= page_count_; ++page) {
    text += "<LI>\r\n<a href=\"";
    text += page_links_[static_cast<std::size_t>(page - 1)];
    text += "\">";
    if (Navigation.IndexLinkTemplate.empty()) {
      AppendHtmlCellText(text, ExtractFileName(pages_[static_cast<std::size_t>(page - 1)].FileName));
    } else {
      AppendHtmlCellText(text, Navigation.IndexLinkTemplate);
      text += NumberText(page);
    }
    text += "</a>\r\n";
    if (text.size() >= 65536) {
      index.Write(text);
      text.clear();
    }
  }
  text += "</UL>\r\n</BODY>\r\n</HTML>\r\n";
  index.Write(text);
}

// ---------------------------------------------------------------------------
// Navigation

std::string TTabuloHTML::NumberText(int page) {
  return page < 10 ? "0" + std::to_string(page) : std::to_string(page);
}

void TTabuloHTML::AppendLinkCell(std::string& block, std::string_view link, std::string_view text) const {
  block += "    <td><a href=\"";
  block += link;
  block += "\">";
  AppendHtmlCellText(block, text);
  block += "</a></td>\r\n";
}

std::string TTabuloHTML::NavigationBlock(int page, bool at_top) const {
  const auto link = [this](int target) -> const std::string& {
    return page_links_[static_cast<std::size_t>(target - 1)];
  };
  std::string block;
  if (!at_top) block += "<br>\r\n";
  block += "<Table Border=\"0\" Cellpadding=\"4\" Cellspacing=\"1\">\r\n  <tr>\r\n";
  if (GenerateIndex) AppendLinkCell(block, index_link_, Navigation.IndexLinkTitle);
  AppendLinkCell(block, link(1), Navigation.FirstLinkTitle);
  AppendLinkCell(block, link(page == 1 ? page_count_ : page - 1), Navigation.PriorLinkTitle);
  // Every page up to kFullNavigationPages; beyond, the first, the last and
  // the pages around this one.
  int window_first = 1;
  int window_last = page_count_;
  if (page_count_ > kFullNavigationPages) {
    window_first = std::max(1, page - kNavigationWindow / 2);
    window_last = std::min(page_count_, page + kNavigationWindow / 2);
  }
  const auto number_cell = [&](int number) {
    if (number == page) {
      block += "    <td><b>" + NumberText(number) + "</b></td>\r\n";
    } else {
      AppendLinkCell(block, link(number), NumberText(number));
    }
  };
  if (window_first > 1) number_cell(1);
  for (int number = window_first; number <= window_last; ++number) number_cell(number);
  if (window_last < page_count_) number_cell(page_count_);
  AppendLinkCell(block, link(page == page_count_ ? 1 : page + 1), Navigation.NextLinkTitle);
  AppendLinkCell(block, link(page_count_), Navigation.LastLinkTitle);
  block += "  </tr>\r\n</Table>\r\n";
  if (at_top) block += "<br>\r\n";
  return block;
}

void TTabuloHTML::InsertNavigation() {
  for (int page = 1; page <= page_count_; ++page) {
    THTMLPageOption& record = pages_[static_cast<std::size_t>(page - 1)];
    TOutputStream& stream = OutputFiles().Resume(record.Member);
    std::int64_t body_end = record.BodyEnd;
    if (Navigation.OnTop) {
      const std::string block = NavigationBlock(page, true);
      stream.Insert(record.BodyStart, block);
      body_end += static_cast<std::int64_t>(block.size());
    }
    if (Navigation.OnBottom) stream.Insert(body_end, NavigationBlock(page, false));
    OutputFiles().Suspend(record.Member);
  }
}

void TTabuloHTML::PrepareLinks() {
  page_links_.clear();
  for (const THTMLPageOption& page : pages_)
    page_links_.push_back(RelativeLink(page_directory_, page.FileName));
  index_link_ = RelativeLink(page_directory_, FileName);
}

}  // namespace velmora
