#pragma once
// Regional formats and the conversions between text and numbers or dates. The formats are
// process-wide, fixed when the data module is created, and every conversion of the system goes
// through them: dates "dd/mm/yyyy", time "hh:nn:ss", "," decimal and "." thousands separators.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace kova {

using TDate = std::chrono::sys_days;
using TDateTime = std::chrono::sys_time<std::chrono::milliseconds>;

struct TFormatSettings {
    std::string ShortDateFormat = "dd/mm/yyyy";
    std::string ShortTimeFormat = "hh:nn:ss";
    char DateSeparator = '/';
    char TimeSeparator = ':';
    char DecimalSeparator = ',';
    char ThousandSeparator = '.';
    std::string CurrencyString;  // money symbol put before amounts; empty on the desktop
};

TFormatSettings& FormatSettings();
// Sets the system's regional formats (the currency symbol is left as it is).
void DefinirFormatosRegionais();

TDate MakeDate(int year, unsigned month, unsigned day);
TDateTime MakeDateTime(int year, unsigned month, unsigned day, unsigned h = 0, unsigned n = 0,
                       unsigned s = 0);
TDate DateOf(TDateTime dt);
int YearOf(TDate d);
unsigned MonthOf(TDate d);
unsigned DayOf(TDate d);
// 1 = Sunday ... 7 = Saturday.
int DayOfWeek(TDate d);

std::string DateToStr(TDate d);
std::string TimeToStr(TDateTime dt);
// Date and time; the time is left out when it is midnight.
std::string DateTimeToStr(TDateTime dt);
bool TryStrToDate(std::string_view s, TDate& out);
bool TryStrToDateTime(std::string_view s, TDateTime& out);

std::string IntToStr(long long v);
bool TryStrToInt(std::string_view s, int32_t& out);
// Shortest text with up to 15 significant digits, "," as decimal separator.
std::string FloatToStr(double v);
// Decimal number with "," as decimal separator; thousands separators are not accepted.
bool TryStrToFloat(std::string_view s, double& out);

// Number pattern with "0" (digit), "#" (optional digit), "." (decimal point), "," (thousands
// grouping) and literal characters, as in "00-0", "000" or "#,##0.00".
std::string FormatFloat(std::string_view pattern, double v);

// Amounts as people read them: the currency symbol in force (if any) and a blank, "." between
// thousands, "," and two decimals.
std::string FormatarMoeda(double valor);

// Rounds x to n decimals as its decimal text reads (0,285 → 0,29; 1,005 → 1,01): the integer
// part of x*10^n, plus one when the remainder is one half or more; negative values are therefore
// truncated toward zero. FormatFloat rounds the digits it shows from the same decimal text, half
// up on the magnitude.
double Arredonda(int n, double x);

// An amount as a slip holds it, whichever way it was entered: to the cent, rounded as its decimal
// text reads, so that the sum check, the barcode, the printed boxes and the replies read the same
// cents. A negative amount is kept as given, for its check to refuse.
double ArredondaValor(double v);

}  // namespace kova
