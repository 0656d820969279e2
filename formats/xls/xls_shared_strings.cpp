#include "formats/xls/xls_shared_strings.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "formats/xls/biff_records.h"
#include "formats/xls/xls_text.h"

namespace velmora {

namespace {

// Texts are copied into blocks of this size; a longer text gets a block of its own.
constexpr std::size_t kBlockSize = 1 << 20;

}  // namespace

std::size_t TxlsSharedStrings::FindSlot(std::string_view text, std::uint32_t tag) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = tag & mask;; slot = (slot + 1) & mask) {
    const TSlot& each = slots_[slot];
    // The tag spares reading the texts of other slots: most probes end at
    // the first slot whose tag differs or that is empty.
    if (each.Index == kEmptySlot || (each.Tag == tag && texts_[each.Index] == text)) return slot;
  }
}

std::uint32_t TxlsSharedStrings::Tag(std::string_view text) {
  const std::size_t hash = std::hash<std::string_view>()(text);
  return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

void TxlsSharedStrings::Grow() {
  slots_.assign(slots_.empty() ? 1024 : slots_.size() * 2, TSlot{});
  for (std::uint32_t index = 0; index < Count(); ++index) {
    const std::uint32_t tag = Tag(texts_[index]);
    slots_[FindSlot(texts_[index], tag)] = TSlot{index, tag};
  }
}

std::string_view TxlsSharedStrings::Store(std::string_view text) {
  if (text.size() > block_room_) {
    block_room_ = std::max(kBlockSize, text.size());
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(block_room_));
    block_next_ = blocks_.back().get();
  }
  char* const place = block_next_;
  if (!text.empty()) std::memcpy(place, text.data(), text.size());
  block_next_ += text.size();
  block_room_ -= text.size();
  return {place, text.size()};
}

std::uint32_t TxlsSharedStrings::Add(std::string_view text) {
  // At most half the slots are taken, so a probe always ends at an empty one.
  if (2 * (static_cast<std::size_t>(Count()) + 1) > slots_.size()) Grow();
  const std::uint32_t tag = Tag(text);
  const std::size_t slot = FindSlot(text, tag);
  if (slots_[slot].Index != kEmptySlot) return slots_[slot].Index;
  slots_[slot] = TSlot{Count(), tag};
  texts_.push_back(Store(text));
  return slots_[slot].Index;
}

void TxlsSharedStrings::Clear() {
  texts_.clear();
  slots_.clear();
  blocks_.clear();
  block_next_ = nullptr;
  block_room_ = 0;
}

namespace {

// Collects record payloads: the SST record first, CONTINUE records after it.
class TRecordCutter {
 public:
  explicit TRecordCutter(std::string& out) : out_(out) {}
  std::size_t Room() const { return kMaxRecordPayload - payload_.size(); }
  std::string& Payload() { return payload_; }
  void Flush() {
    AppendRecord(out_, first_ ? kSstRecord : kContinueRecord, payload_);
    first_ = false;
    payload_.clear();
  }

 private:
  std::string& out_;
  std::string payload_;
  bool first_ = true;
};

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

}  // namespace

void TxlsSharedStrings::AppendRecords(std::string& out) const {
  TRecordCutter cutter(out);
  AppendUInt32(cutter.Payload(), Count());
  AppendUInt32(cutter.Payload(), Count());
  std::string body;
  for (const std::string_view text : texts_) {
    const std::u16string units = Utf8ToUtf16(text);
    const bool compressed = FitsCompressed(units);
    const std::size_t unit_size = compressed ? 1 : 2;
    body.clear();
    AppendStringBody(body, units);  // option byte, then the characters
    const std::string_view characters = std::string_view(body).substr(1);
    // The head and the first character stay together.
    const std::size_t first_character =
        units.empty() ? 0 : unit_size * (IsHighSurrogate(units[0]) && !compressed ? 2 : 1);
    if (cutter.Room() < 3 + first_character) cutter.Flush();
    AppendUInt16(cutter.Payload(), static_cast<std::uint16_t>(units.size()));
    cutter.Payload() += body[0];
    std::size_t done = 0;  // units written
    while (done < units.size()) {
      std::size_t take = std::min(cutter.Room() / unit_size, units.size() - done);
      if (take > 0 && done + take < units.size() && IsHighSurrogate(units[done + take - 1])) --take;
      if (take == 0) {
        cutter.Flush();
        cutter.Payload() += body[0];
        continue;
      }
      cutter.Payload().append(characters.substr(done * unit_size, take * unit_size));
      done += take;
    }
  }
  cutter.Flush();
}

}  // namespace velmora
