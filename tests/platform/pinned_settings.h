#pragma once

#include <gtest/gtest.h>

#include "platform/locale_settings.h"

namespace velmora {

// Settings of a locale that writes "1.234,5" and "15.01.2024", built by hand so
// that the tests do not depend on the locales installed.
inline TFormatSettings GermanStyleSettings() {
  TFormatSettings settings = TFormatSettings::CLocale();
  settings.DecimalSeparator = ",";
  settings.ThousandSeparator = ".";
  settings.DateSeparator = ".";
  settings.TimeSeparator = ":";
  settings.ShortDateFormat = "dd.mm.yyyy";
  settings.LongDateFormat = "dddd, d. mmmm yyyy";
  settings.ShortTimeFormat = "hh:nn:ss";
  settings.LongTimeFormat = "hh:nn:ss";
  settings.TimeAMString = "vorm.";
  settings.TimePMString = "nachm.";
  settings.CurrencyString = "€";
  settings.CurrencyPosition = cpAfterSpace;
  settings.ShortMonthNames = {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun",
                              "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
  settings.LongMonthNames = {"Januar", "Februar", "März",      "April",   "Mai",      "Juni",
                             "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
  settings.ShortDayNames = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
  settings.LongDayNames = {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"};
  return settings;
}

// A twelve-hour locale with the month first: "01/15/2024 01:30:00 PM".
inline TFormatSettings TwelveHourSettings() {
  TFormatSettings settings = TFormatSettings::CLocale();
  settings.DateSeparator = "/";
  settings.ShortDateFormat = "mm/dd/yyyy";
  settings.ShortTimeFormat = "hh:nn:ss ampm";
  settings.LongTimeFormat = "hh:nn:ss ampm";
  return settings;
}

// Every test of the fixture ends with the C settings in force again, so the
// settings a test pins never leak into another.
class PinnedSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { SetFormatSettings(TFormatSettings::CLocale()); }
  void TearDown() override { SetFormatSettings(TFormatSettings::CLocale()); }
  static void PinC() { SetFormatSettings(TFormatSettings::CLocale()); }
  static void PinGerman() { SetFormatSettings(GermanStyleSettings()); }
};

}  // namespace velmora
