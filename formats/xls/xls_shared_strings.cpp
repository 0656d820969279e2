#include "formats/xls/xls_shared_strings.h"

#include "formats/xls/biff_records.h"
#include "formats/xls/xls_text.h"

namespace velmora {

std::uint32_t TxlsSharedStrings::Add(std::string_view text) {
  const auto [entry, added] = lookup_.try_emplace(std::string(text), Count());
  if (added) order_.push_back(&entry->first);
  return entry->second;
}

void TxlsSharedStrings::Clear() {
  order_.clear();
  lookup_.clear();
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

std::string TxlsSharedStrings::Records() const {
  std::string out;
  TRecordCutter cutter(out);
  AppendUInt32(cutter.Payload(), Count());
  AppendUInt32(cutter.Payload(), Count());
  std::string body;
  for (const std::string* text : order_) {
    const std::u16string units = Utf8ToUtf16(*text);
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
  return out;
}

}  // namespace velmora
