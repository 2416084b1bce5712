#include "logging/metadata_provider.hpp"

#include <stdexcept>

namespace logging {

MetadataProvider::MetadataProvider(std::function<Metadata()> provide)
    : provide_(std::make_shared<const std::function<Metadata()>>(std::move(provide))) {
    if (!*provide_) throw std::invalid_argument("MetadataProvider: empty function");
}

MetadataProvider MetadataProvider::multiplex(std::vector<MetadataProvider> providers) {
    return MetadataProvider([providers = std::move(providers)] {
        Metadata merged;
        for (const MetadataProvider& provider : providers) {
            for (auto& [key, value] : provider.get()) merged.insert_or_assign(key, std::move(value));
        }
        return merged;
    });
}

}  // namespace logging
