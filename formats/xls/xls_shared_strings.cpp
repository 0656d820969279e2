#include "formats/xls/xls_shared_strings.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "formats/xls/biff_records.h"
#include "formats/xls/xls_spool.h"
#include "formats/xls/xls_text.h"

namespace velmora {

namespace {

// Texts are copied into blocks of at most this size; a longer text gets a block of its own.
constexpr std::size_t kBlockSize = 1 << 20;
// Completed records beyond this many bytes move to the temporary file.
constexpr std::size_t kSpillSize = 256 << 10;
// The SST record's counts: of string cells and of entries, after its head.
constexpr std::size_t kCountsOffset = 4;
constexpr std::size_t kCountsSize = 8;

bool IsHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsAscii(std::string_view text) {
  for (const char character : text) {
    if (static_cast<unsigned char>(character) >= 0x80) return false;
  }
  return true;
}

std::size_t dedupe_budget_for_testing = 0;

}  // namespace

void TxlsSharedStrings::SetDedupeBudgetForTesting(std::size_t budget) {
  dedupe_budget_for_testing = budget;
}

std::size_t TxlsSharedStrings::DedupeBudget() {
  return dedupe_budget_for_testing > 0 ? dedupe_budget_for_testing : kDefaultDedupeBudget;
}

TxlsSharedStrings::TxlsSharedStrings(std::size_t dedupe_budget) : dedupe_budget_(dedupe_budget) {
  Clear();
}

TxlsSharedStrings::~TxlsSharedStrings() = default;

std::size_t TxlsSharedStrings::FindSlot(std::string_view text, std::uint32_t tag) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = tag & mask;; slot = (slot + 1) & mask) {
    const TSlot& each = slots_[slot];
    // The tag spares reading the texts of other slots: most probes end at
    // the first slot whose tag differs or that is empty.
    if (each.Index == kEmptySlot) return slot;
    if (each.Tag == tag && each.Size == text.size() &&
        std::memcmp(each.Data, text.data(), text.size()) == 0) {
      return slot;
    }
  }
}

std::uint32_t TxlsSharedStrings::Tag(std::string_view text) {
  const std::size_t hash = std::hash<std::string_view>()(text);
  return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

void TxlsSharedStrings::Grow() {
  std::vector<TSlot> old(slots_.empty() ? 1024 : slots_.size() * 2);
  old.swap(slots_);
  generation_cost_ += (slots_.size() - old.size()) * sizeof(TSlot);
  // The tags are the texts' hashes: the texts need not be read again.
  const std::size_t mask = slots_.size() - 1;
  for (const TSlot& each : old) {
    if (each.Index == kEmptySlot) continue;
    std::size_t slot = each.Tag & mask;
    while (slots_[slot].Index != kEmptySlot) slot = (slot + 1) & mask;
    slots_[slot] = each;
  }
}

void TxlsSharedStrings::Forget() {
  slots_.clear();
  slots_.shrink_to_fit();
  blocks_.clear();
  block_next_ = nullptr;
  block_room_ = 0;
  generation_cost_ = 0;
  generation_count_ = 0;
}

std::string_view TxlsSharedStrings::Store(std::string_view text) {
  if (text.size() > block_room_) {
    block_room_ = std::max(std::min(kBlockSize, dedupe_budget_ / 4), text.size());
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(block_room_));
    block_next_ = blocks_.back().get();
    generation_cost_ += block_room_;
  }
  char* const place = block_next_;
  if (!text.empty()) std::memcpy(place, text.data(), text.size());
  block_next_ += text.size();
  block_room_ -= text.size();
  return {place, text.size()};
}

std::uint32_t TxlsSharedStrings::Add(std::string_view text) {
  // At most half the slots are taken, so a probe always ends at an empty one.
  const bool grows = 2 * (generation_count_ + 1) > slots_.size();
  const std::uint32_t tag = Tag(text);
  if (generation_count_ > 0) {
    const std::size_t slot = FindSlot(text, tag);
    if (slots_[slot].Index != kEmptySlot) return slots_[slot].Index;
  }
  // A new text: the generation makes room for it within the budget, or is forgotten.
  const std::size_t added = (text.size() > block_room_ ? std::min(kBlockSize, dedupe_budget_ / 4) : 0) +
                            (grows ? std::max<std::size_t>(slots_.size(), 1024) * sizeof(TSlot) : 0);
  if (generation_count_ > 0 && generation_cost_ + added > dedupe_budget_) Forget();
  if (2 * (generation_count_ + 1) > slots_.size()) Grow();
  const std::size_t slot = FindSlot(text, tag);
  const std::string_view stored = Store(text);
  // The table's index, not a position in the generation: entries added
  // without looking come between the texts of a generation.
  slots_[slot] = TSlot{stored.data(), static_cast<std::uint32_t>(stored.size()), tag, count_};
  ++generation_count_;
  AppendEntry(text);
  return count_++;
}

std::uint32_t TxlsSharedStrings::AddEntry(std::string_view text) {
  AppendEntry(text);
  return count_++;
}

void TxlsSharedStrings::Clear() {
  count_ = 0;
  Forget();
  payload_.assign(kCountsSize, '\0');
  first_record_ = true;
  records_.clear();
  spill_.reset();
}

void TxlsSharedStrings::EndRecord() {
  AppendRecord(records_, first_record_ ? kSstRecord : kContinueRecord, payload_);
  first_record_ = false;
  payload_.clear();
  if (records_.size() >= kSpillSize) Spill();
}

void TxlsSharedStrings::Spill() {
  if (!spill_) spill_ = CreateTemporaryStream("xls-strings");
  spill_->Write(records_);
  records_.clear();
}

void TxlsSharedStrings::AppendEntry(std::string_view text) {
  const auto room = [this] { return kMaxRecordPayload - payload_.size(); };
  if (text.size() + 3 <= room() && IsAscii(text)) {
    // The common case: one byte per character, all in the current record.
    AppendUInt16(payload_, static_cast<std::uint16_t>(text.size()));
    payload_ += '\0';
    payload_.append(text);
    return;
  }
  units_ = Utf8ToUtf16(text);
  const bool compressed = FitsCompressed(units_);
  const std::size_t unit_size = compressed ? 1 : 2;
  body_.clear();
  AppendStringBody(body_, units_);  // option byte, then the characters
  const std::string_view characters = std::string_view(body_).substr(1);
  // The head and the first character stay together.
  const std::size_t first_character =
      units_.empty() ? 0 : unit_size * (IsHighSurrogate(units_[0]) && !compressed ? 2 : 1);
  if (room() < 3 + first_character) EndRecord();
  AppendUInt16(payload_, static_cast<std::uint16_t>(units_.size()));
  payload_ += body_[0];
  std::size_t done = 0;  // units written
  while (done < units_.size()) {
    std::size_t take = std::min(room() / unit_size, units_.size() - done);
    if (take > 0 && done + take < units_.size() && IsHighSurrogate(units_[done + take - 1])) --take;
    if (take == 0) {
      EndRecord();
      payload_ += body_[0];
      continue;
    }
    payload_.append(characters.substr(done * unit_size, take * unit_size));
    done += take;
  }
}

template <class TSink>
void TxlsSharedStrings::EmitRecords(TSink&& sink) {
  std::string counts;
  AppendUInt32(counts, count_);
  AppendUInt32(counts, count_);
  // The counts stand in the first record, which is the first of these bytes.
  bool patched = false;
  const auto emit = [&](std::string& bytes) {
    if (!patched) bytes.replace(kCountsOffset, kCountsSize, counts);
    patched = true;
    sink(std::string_view(bytes));
  };
  if (spill_) {
    const std::int64_t size = spill_->Size();
    std::string chunk;
    for (std::int64_t position = 0; position < size;) {
      chunk.resize(static_cast<std::size_t>(std::min<std::int64_t>(size - position, kSpillSize)));
      spill_->ReadAt(position, chunk.data(), chunk.size());
      position += static_cast<std::int64_t>(chunk.size());
      emit(chunk);
    }
  }
  if (!records_.empty()) {
    std::string copy = records_;
    emit(copy);
  }
  std::string last;
  AppendRecord(last, first_record_ ? kSstRecord : kContinueRecord, payload_);
  emit(last);
}

std::int64_t TxlsSharedStrings::RecordsSize() const {
  return (spill_ ? spill_->Size() : 0) + static_cast<std::int64_t>(records_.size() + 4 + payload_.size());
}

void TxlsSharedStrings::AppendRecords(std::string& out) {
  EmitRecords([&out](std::string_view bytes) { out.append(bytes); });
}

void TxlsSharedStrings::WriteRecords(TOutputStream& out) {
  EmitRecords([&out](std::string_view bytes) { out.Write(bytes); });
}

}  // namespace velmora
