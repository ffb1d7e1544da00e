#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tv {

// Digit text to value; throws EConvertError "変換できない値です。" for a non-digit, a value
// above 2^63-1 or a base outside 2..36.
int64_t BaseStrToInt(std::string_view text, uint8_t base);

// Value (0 or more) to digit text in capitals; throws EConvertError for a base outside 2..36.
std::string IntToBaseStr(int64_t value, uint8_t base);

// True when the text is not empty and every character, upper-cased, is a digit of the base.
bool IsBaseStr(std::string_view text, uint8_t base);

// The value of a base field: its text read as an integer, 10 when empty or not an integer.
int64_t BaseFieldValue(std::string_view text);

struct TBaseConvResult {
    std::string Output;     // the text for the output box
    std::string ReportLine; // "<input> (<base in>) => <output> (<base out>)", no line end
};

// One conversion of the base page: equal base texts copy the input unchanged; otherwise the
// digits are read in the input base and written in the output base. A base field outside 2..36
// is a conversion failure. The input is taken as given ("0" already put in for an empty box).
TBaseConvResult ConvertBase(std::string_view input, std::string_view baseInText,
                            std::string_view baseOutText);

} // namespace tv
