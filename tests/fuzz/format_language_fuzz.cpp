// The first byte chooses how the rest is split into a pattern and a value;
// formatting and parsing must never crash, whatever the pattern says.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/value_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t split = data[0] % (input.size() + 1);
  const std::string_view pattern = input.substr(0, split);
  const std::string_view value = input.substr(split);

  std::string out;
  const velmora::TNumberFormat number_format(pattern);
  number_format.FormatDecimalText(value, out);
  double number = 0;
  if (velmora::TryStrToFloat(value, number)) number_format.FormatDouble(number, out);

  const velmora::TDateTimeFormat date_time_format(pattern);
  velmora::TDateTime moment = 0;
  if (velmora::TryStrToDateTime(value, moment)) date_time_format.Format(moment, out);
  if (velmora::TryStrToTime(value, moment)) date_time_format.Format(moment, out);
  date_time_format.Format(static_cast<double>(size) * 37.25 - 700000.0, out);

  std::string decimal;
  velmora::TryLocaleNumberToDecimalText(value, decimal);
  return 0;
}
