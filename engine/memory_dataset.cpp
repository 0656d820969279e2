#include "engine/memory_dataset.h"

#include "platform/error.h"
#include "platform/text_utils.h"
#include "platform/value_format.h"

namespace velmora {
namespace {

// "dddd-dd-dd", alone or before a blank and a time.
bool HasServerDateShape(std::string_view text) {
  if (text.size() < 10 || (text.size() > 10 && text[10] != ' ')) return false;
  for (std::size_t index = 0; index < 10; ++index) {
    const bool dash = index == 4 || index == 7;
    if (dash ? text[index] != '-' : (text[index] < '0' || text[index] > '9')) return false;
  }
  return true;
}

}  // namespace

class TMemoryDataSet::TMemoryField : public TField {
 public:
  explicit TMemoryField(const TMemoryDataSet& owner) : owner_(owner) {}
  bool IsNull() const override { return !owner_.Value(Index).has_value(); }
  void GetText(std::string& out) const override {
    const auto& value = owner_.Value(Index);
    if (value) {
      out.assign(*value);
    } else {
      out.clear();
    }
  }
  // Its text form; a date in the server's text form that has no date-time
  // form ("0000-00-00", "2004-02-30 10:00:00") is an invalid moment, as the
  // server's fields report such values. Other texts that are no date are not
  // the server's, and fail where they are shown.
  // A Boolean's "True" or "False" (letter case aside) is a Boolean value, as
  // a server's field gives it.
  void GetValue(TCellValue& value) const override {
    TField::GetValue(value);
    if (DataType == ftBoolean && value.Kind == ckText &&
        (SameText(value.Text, "True") || SameText(value.Text, "False"))) {
      value.Kind = ckBoolean;
      value.Truth = SameText(value.Text, "True");
      return;
    }
    if (DataType != ftDate && DataType != ftDateTime && DataType != ftTimeStamp) return;
    TDateTime moment = 0;
    if (value.Kind == ckText && HasServerDateShape(value.Text) && !TryStrToDateTime(value.Text, moment)) {
      value.Kind = ckInvalidMoment;
    }
  }

 private:
  const TMemoryDataSet& owner_;
};

TField& TMemoryDataSet::AddField(const std::string& name, TFieldType type, int size) {
  auto field = std::make_unique<TMemoryField>(*this);
  field->FieldName = name;
  field->DisplayLabel = name;
  field->DataType = type;
  field->Size = size;
  field->DisplayWidth = size > 0 ? size : 10;
  field->Index = FieldCount();
  fields_.push_back(std::move(field));
  return *fields_.back();
}

void TMemoryDataSet::AppendRecord(TRecord record) {
  record.resize(fields_.size());
  records_.push_back(std::move(record));
  if (active_ && records_.size() == 1) First();
}

const std::optional<std::string>& TMemoryDataSet::Value(int field_index) const {
  static const std::optional<std::string> kNull;
  if (!active_ || eof_ || current_ >= RecordCount()) return kNull;
  return records_[static_cast<std::size_t>(current_)][static_cast<std::size_t>(field_index)];
}

void TMemoryDataSet::Open() {
  active_ = true;
  First();
}

void TMemoryDataSet::Close() {
  active_ = false;
  eof_ = true;
}

void TMemoryDataSet::First() {
  current_ = 0;
  eof_ = records_.empty();
}

void TMemoryDataSet::Next() {
  if (eof_) return;
  if (current_ + 1 >= RecordCount()) {
    current_ = RecordCount();
    eof_ = true;
  } else {
    ++current_;
  }
}

TBookmark TMemoryDataSet::GetBookmark() {
  ++open_bookmarks_;
  return current_;
}

void TMemoryDataSet::GotoBookmark(TBookmark bookmark) {
  if (bookmark < 0 || bookmark > RecordCount()) throw EVelmoraError("Bookmark not found");
  current_ = static_cast<int>(bookmark);
  eof_ = current_ >= RecordCount();
}

void TMemoryDataSet::FreeBookmark(TBookmark) { --open_bookmarks_; }

}  // namespace velmora
