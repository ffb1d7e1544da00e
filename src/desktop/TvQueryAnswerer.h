#pragma once

#include "desktop/TvDesktopAnswers.h"

namespace tv::desktop {

// The desktop's answers from the one-line query of the core.
class TQueryAnswerer : public IQueryAnswerer {
public:
    std::vector<TAnswer> Answer(std::string_view query, const TAnswerSource& source,
                                std::size_t limit) const override;
};

} // namespace tv::desktop
