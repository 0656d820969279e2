#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Display formats by column type and the replacement texts of an exporter.
// Every setter applies the rule for empty values, so a template entry with an
// empty value restores the default.
class TTabuloFormats {
 public:
  TTabuloFormats();

  const std::string& IntegerFormat() const { return integer_format_; }
  const std::string& FloatFormat() const { return float_format_; }
  const std::string& DateFormat() const { return date_format_; }
  const std::string& TimeFormat() const { return time_format_; }
  const std::string& DateTimeFormat() const { return date_time_format_; }
  const std::string& CurrencyFormat() const { return currency_format_; }
  const std::string& BooleanTrue() const { return boolean_true_; }
  const std::string& BooleanFalse() const { return boolean_false_; }
  const std::string& NullString() const { return null_string_; }

  void SetIntegerFormat(std::string_view value);
  void SetFloatFormat(std::string_view value);
  void SetDateFormat(std::string_view value);
  void SetTimeFormat(std::string_view value);
  void SetDateTimeFormat(std::string_view value);
  void SetCurrencyFormat(std::string_view value);
  void SetBooleanTrue(std::string_view value);
  void SetBooleanFalse(std::string_view value);
  void SetNullString(std::string_view value);  // stored trimmed

  // True when the number format was given a text of its own (not empty) since
  // the last Reset, even one equal to the initial value: machine-read exports
  // print plain numbers only where no format was given.
  bool IntegerFormatSet() const { return integer_format_set_; }
  bool FloatFormatSet() const { return float_format_set_; }
  bool CurrencyFormatSet() const { return currency_format_set_; }

  // Back to the initial values (those of the locale in force).
  void Reset();
  // Copies all nine values through the setters, and whether each was given.
  void Assign(const TTabuloFormats& source);

  // The initial values, computed from the locale settings in force.
  static std::string DefaultDateFormat();
  static std::string DefaultTimeFormat();
  static std::string DefaultDateTimeFormat();
  static std::string DefaultCurrencyFormat();

 private:
  std::string integer_format_;
  std::string float_format_;
  std::string date_format_;
  std::string time_format_;
  std::string date_time_format_;
  std::string currency_format_;
  std::string boolean_true_;
  std::string boolean_false_;
  std::string null_string_;
  bool integer_format_set_ = false;
  bool float_format_set_ = false;
  bool currency_format_set_ = false;
};

}  // namespace velmora
