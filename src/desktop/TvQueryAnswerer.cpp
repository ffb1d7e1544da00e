#include "desktop/TvQueryAnswerer.h"

namespace tv::desktop {

std::vector<TAnswer> TQueryAnswerer::Answer(std::string_view query, const TAnswerSource& source,
                                            std::size_t limit) const {
    // Wired to the core's query once it is there.
    (void)query;
    (void)source;
    (void)limit;
    return {};
}

} // namespace tv::desktop
