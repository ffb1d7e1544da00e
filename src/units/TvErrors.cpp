#include "units/TvErrors.h"

namespace tv {

std::string ReportedFailureName(const std::exception& error) {
    if (dynamic_cast<const EConvertError*>(&error) != nullptr) {
        return "Convert";
    }
    if (dynamic_cast<const EOverflow*>(&error) != nullptr) {
        return "OverFlow";
    }
    if (dynamic_cast<const EZeroDivide*>(&error) != nullptr) {
        return "ZeroDivide";
    }
    return {};
}

std::string ErrorBoxText(const std::string& message) {
    // Bytes compare unsigned, so a message ending in a multi-byte character gets the full stop.
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') {
        return message + ".";
    }
    return message;
}

} // namespace tv
