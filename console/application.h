#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "console/command_line.h"
#include "console/export_run.h"

namespace velmora {

// The run of the program from the banner to the exit status: the command line,
// the parameter file, the connection and the export of every item, with one
// line of progress or error per item on the output given (standard output), or
// on standard error when an item of the run writes to standard output.
class TApplication : public TRunOutput {
 public:
  explicit TApplication(std::FILE* output);

  // Returns the exit status: 0 when the help was printed or every item was
  // exported, 1 when any error line was printed or the output could not be written.
  int Run(const std::vector<std::string>& arguments, const std::string& program_path,
          const std::string& current_directory);

 private:
  int RunSequence(const std::vector<std::string>& arguments, const std::string& program_path,
                  const std::string& current_directory);
  void PrintLine(const std::string& line) override;
  // An error line: printed, and the run will end with status 1.
  void PrintFailure(const std::string& line) override;

  std::FILE* output_;
  bool failed_ = false;
};

}  // namespace velmora
