#pragma once

#include <fcntl.h>

#include <memory>
#include <string>

#include "formats/pdf/pdf_document.h"
#include "support/test_files.h"

namespace velmora::testsupport {

// A PDF document writing into a file of its own temporary directory.
class TDocumentFile {
 public:
  explicit TDocumentFile(const std::string& name = "document.pdf")
      : path_(directory_.File(name)),
        stream_(::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644), path_),
        document_(stream_) {}

  TPDFDocument& Document() { return document_; }
  TOutputStream& Stream() { return stream_; }
  const std::string& Path() const { return path_; }

  // Closes the stream and returns every byte written.
  std::string Finish() {
    stream_.Close();
    return ReadFile(path_);
  }

 private:
  TTempDir directory_{"pdf"};
  std::string path_;
  TOutputStream stream_;
  TPDFDocument document_;
};

// A font record as the table export names its four fonts.
inline TPDFFont NamedFont(const std::string& name, TPDFFontName base = poHelvetica, int size = 10,
                          TPDFFontEncoding encoding = poWinAnsiEncoding) {
  TPDFFont font;
  font.Name = name;
  font.BaseFont = base;
  font.FontSize = size;
  font.FontEncoding = encoding;
  return font;
}

}  // namespace velmora::testsupport
