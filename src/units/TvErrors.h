#pragma once

#include <stdexcept>
#include <string>

namespace tv {

// Base of every failure kind the core throws; what() is the failure's message text.
class ETvError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A text that cannot be read or resolved.
class EConvertError : public ETvError {
public:
    using ETvError::ETvError;
};

class EZeroDivide : public ETvError {
public:
    using ETvError::ETvError;
};

class EOverflow : public ETvError {
public:
    using ETvError::ETvError;
};

class EInvalidOp : public ETvError {
public:
    using ETvError::ETvError;
};

class EOutOfMemory : public ETvError {
public:
    using ETvError::ETvError;
};

// Message texts of the failure kinds.
inline constexpr const char* kMsgConvert = "Convert";
inline constexpr const char* kMsgZeroDivide = "ZeroDivide";
inline constexpr const char* kMsgOverflow = "浮動小数点数のオーバーフロー";
inline constexpr const char* kMsgInvalidOp = "不正な浮動小数点数演算命令";
inline constexpr const char* kMsgOutOfMemory = "メモリが足りません";

// Returns the name a conversion reports for the three kinds it handles itself ("Convert",
// "OverFlow", "ZeroDivide"), or an empty text for every other failure.
std::string ReportedFailureName(const std::exception& error);

// Returns the text of the program-wide error box for a failure message: the message with "."
// added when its last character sorts after ".".
std::string ErrorBoxText(const std::string& message);

} // namespace tv
