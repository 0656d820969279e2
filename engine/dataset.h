#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/cell_value.h"
#include "platform/date_time.h"

namespace velmora {

// Declared type of a field. The ordinals are part of the interface.
enum TFieldType {
  ftUnknown,
  ftString,
  ftSmallint,
  ftInteger,
  ftWord,
  ftBoolean,
  ftFloat,
  ftCurrency,
  ftBCD,
  ftDate,
  ftTime,
  ftDateTime,
  ftBytes,
  ftVarBytes,
  ftAutoInc,
  ftBlob,
  ftMemo,
  ftGraphic,
  ftFmtMemo,
  ftParadoxOle,
  ftDBaseOle,
  ftTypedBinary,
  ftCursor,
  ftFixedChar,
  ftWideString,
  ftLargeint,
  ftADT,
  ftArray,
  ftReference,
  ftDataSet,
  ftOraBlob,
  ftOraClob,
  ftVariant,
  ftInterface,
  ftIDispatch,
  ftGuid,
  ftTimeStamp,
  ftFMTBcd
};

// Kinds of value the data type alone does not tell apart; formats that write
// them differently ask the field (or its column) for its kind.
enum TFieldValueKind {
  vkPlain,
  vkYear,  // an integer field holding a year: shown with all its digits, never grouped
  vkBit,   // an integer field holding a bit field, read as an unsigned integer
  vkBinary,  // a string or large-object field holding bytes of the binary character set, not text
};

// A column as its source declares it, for exports that create the column again
// (the CREATE TABLE statement of an SQL script). An empty Type: not known.
struct TSourceColumnType {
  std::string Type;          // the declaration, arguments included: "decimal(10,3)", "int(10) unsigned"
  std::string CharacterSet;  // character data: its character set ("latin1"); else empty
  std::string Collation;     // character data: its collation ("latin1_swedish_ci"); may be empty
};

// One column of a data set. It always reflects the value of its column in the
// data set's current record; exporters read it as text.
class TField {
 public:
  virtual ~TField() = default;

  std::string FieldName;
  std::string DisplayLabel;  // caption when none is configured
  int DisplayWidth = 10;     // width when none is configured
  TFieldType DataType = ftUnknown;
  int Size = 0;  // strings: maximum length in characters
  bool Visible = true;
  int Index = 0;  // position in the data set's field list
  TFieldValueKind ValueKind = vkPlain;
  TSourceColumnType SourceType;

  // True when the current record holds SQL NULL.
  virtual bool IsNull() const = 0;
  // Stores the text form of the current value in out (empty for NULL). Reuses
  // out's capacity, so a record loop allocates nothing per cell once warm.
  virtual void GetText(std::string& out) const = 0;
  // Stores the value exactly as the source wrote it: numbers in C form with
  // every digit sent, dates and times as the source's text, strings and binary
  // data byte for byte (empty for NULL). The base stores the text form.
  virtual void GetSourceText(std::string& out) const { GetText(out); }
  // The current value as its kind and the source's own digits, text or
  // moment, for the export (see TCellValue). The base knows the text form
  // only: NULL, else ckText holding it (valid until the next call).
  virtual void GetValue(TCellValue& value) const;
  // As GetValue, for an export that writes every value as the source's text
  // (an SQL script) and reads no moment: a date, time or date-time may come
  // as ckText holding the source's text, not read as a moment. The base
  // gives GetValue.
  virtual void GetSourceValue(TCellValue& value) const { GetValue(value); }

  std::string AsString() const;
  // A property of the kind: the binary and text large-object types.
  bool IsBlob() const;
  // The text large-object kind.
  bool IsMemo() const;

 private:
  mutable std::string value_text_;  // the text the base GetValue views
};

// Opaque position token of a data set.
using TBookmark = std::int64_t;

// A forward cursor over records whose fields are read as text.
class TDataSet {
 public:
  virtual ~TDataSet() = default;

  virtual void Open() = 0;
  virtual void Close() = 0;
  virtual bool Active() const = 0;
  // True when the open result has no record.
  virtual bool IsEmpty() const = 0;

  int FieldCount() const { return static_cast<int>(fields_.size()); }
  TField& Field(int index) const { return *fields_.at(static_cast<std::size_t>(index)); }
  // The first field whose name equals name without regard to letter case, or null.
  TField* FindField(std::string_view name) const;

  virtual void First() = 0;
  // Moving past the last record sets Eof.
  virtual void Next() = 0;
  virtual bool Eof() const = 0;

  // True when the cursor can move to the next record and still go back to
  // every record passed so far. A stored result always can; a streamed one
  // while the next record still falls within the first rows it keeps.
  virtual bool CanMoveOnAndBack() const { return true; }

  virtual TBookmark GetBookmark() = 0;
  virtual void GotoBookmark(TBookmark bookmark) = 0;
  virtual void FreeBookmark(TBookmark bookmark) = 0;

  // A nesting counter: while above 0 no observer hears of cursor moves.
  void DisableControls() { ++controls_disabled_; }
  void EnableControls() {
    if (controls_disabled_ > 0) --controls_disabled_;
  }
  int ControlsDisabledCount() const { return controls_disabled_; }

 protected:
  std::vector<std::unique_ptr<TField>> fields_;

 private:
  int controls_disabled_ = 0;
};

// Runs walk, then takes the data set back to where it was and releases the
// bookmark. When walk fails, its failure is the one reported; a failure to go
// back after a successful walk is reported too.
template <class TWalk>
void WalkAndReturn(TDataSet& data_set, TWalk&& walk) {
  const TBookmark bookmark = data_set.GetBookmark();
  try {
    walk();
  } catch (...) {
    try {
      data_set.GotoBookmark(bookmark);
    } catch (...) {
    }
    data_set.FreeBookmark(bookmark);
    throw;
  }
  try {
    data_set.GotoBookmark(bookmark);
  } catch (...) {
    data_set.FreeBookmark(bookmark);
    throw;
  }
  data_set.FreeBookmark(bookmark);
}

}  // namespace velmora
