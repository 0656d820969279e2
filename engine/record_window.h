#pragma once

#include "engine/dataset.h"

namespace velmora {

// The records an export passes: from the first record (or from the one under
// the cursor), past SkipRecCount records, at most ExportRecCount records (0: no
// limit), and only the record under the cursor when CurrentRecordOnly is set.
struct TRecordWindow {
  bool GoToFirstRecord = true;
  int SkipRecCount = 0;
  int ExportRecCount = 0;
  bool CurrentRecordOnly = false;
};

// Walks a data set through a record window in steps, so that a loop can put
// its own work between them: Start, Skip, then while HasRecord: the record's
// work, Advance. Every loop over the window (the record loop, the passes that
// read ahead of it, a spreadsheet's sheets) walks it this way, so they all pass
// the same records.
class TRecordWindowWalk {
 public:
  // Without a data set (a source of another kind) the window holds no record.
  TRecordWindowWalk(TDataSet* data_set, const TRecordWindow& window) : data_set_(data_set), window_(window) {}
  virtual ~TRecordWindowWalk() = default;

  // Moves to the first record when the window starts there.
  void Start() {
    if (window_.GoToFirstRecord && data_set_ != nullptr) data_set_->First();
  }

  // Moves past the records to skip, stopping at the end of the data; calls
  // on_skipped(n) after the n-th skipped record.
  template <class TOnSkipped>
  void Skip(TOnSkipped&& on_skipped) {
    for (int skipped = 1; skipped <= window_.SkipRecCount && !AtEnd(); ++skipped) {
      if (data_set_ != nullptr) data_set_->Next();
      on_skipped(skipped);
    }
  }

  // True while the cursor stands on a record of the window.
  bool HasRecord() const {
    if (window_.CurrentRecordOnly && passed_ > 0) return false;
    if (window_.ExportRecCount != 0 && passed_ >= window_.ExportRecCount) return false;
    return !AtEnd();
  }

  // Counts the current record as passed and moves to the next one. With
  // CurrentRecordOnly the cursor stays on the one record of the window.
  void Advance() {
    ++passed_;
    if (!window_.CurrentRecordOnly && data_set_ != nullptr) data_set_->Next();
  }

  // Records passed so far.
  int Passed() const { return passed_; }

 protected:
  // The end of the data: the data set's Eof.
  virtual bool AtEnd() const { return data_set_ == nullptr || data_set_->Eof(); }

 private:
  TDataSet* data_set_;
  TRecordWindow window_;
  int passed_ = 0;
};

// A walk that also ends where the data set could no longer return to the
// records passed (the end of what a streamed result keeps of its first rows).
class TKeptRowsWalk : public TRecordWindowWalk {
 public:
  TKeptRowsWalk(TDataSet* data_set, const TRecordWindow& window, bool within_kept_rows)
      : TRecordWindowWalk(data_set, window), data_set_(data_set), within_kept_rows_(within_kept_rows) {}

 protected:
  bool AtEnd() const override {
    return TRecordWindowWalk::AtEnd() || (within_kept_rows_ && !data_set_->CanMoveOnAndBack());
  }

 private:
  TDataSet* data_set_;
  bool within_kept_rows_;
};

// Walks the window ahead of an export and takes the cursor back to where it
// was: visit() on every record of the window, then passed(n) once the n-th
// record is passed. Returns the number of records walked: the window's, or,
// within_kept_rows, those up to the end of what the data set can return to.
template <class TVisit, class TPassed>
int ReadWindowAhead(TDataSet& data_set, const TRecordWindow& window, TVisit&& visit, TPassed&& passed,
                    bool within_kept_rows = false) {
  TKeptRowsWalk walk(&data_set, window, within_kept_rows);
  WalkAndReturn(data_set, [&] {
    walk.Start();
    walk.Skip([](int) {});
    while (walk.HasRecord()) {
      visit();
      walk.Advance();
      passed(walk.Passed());
    }
  });
  return walk.Passed();
}

}  // namespace velmora
