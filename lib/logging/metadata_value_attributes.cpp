#include "logging/metadata_value_attributes.hpp"

#include <algorithm>

namespace logging {

const MetadataValueAttributes::Entry* MetadataValueAttributes::find(AttributeKey key) const noexcept {
    if (inline_ && inline_->key == key) return &*inline_;
    if (!overflow_) return nullptr;
    auto it = std::find_if(overflow_->begin(), overflow_->end(), [key](const Entry& e) { return e.key == key; });
    return it == overflow_->end() ? nullptr : &*it;
}

void MetadataValueAttributes::insert(AttributeKey key, std::int64_t value) {
    if (auto* entry = const_cast<Entry*>(find(key))) {
        entry->value = value;
    } else if (!inline_) {
        inline_ = Entry{key, value};
    } else {
        if (!overflow_) overflow_.emplace();
        overflow_->push_back(Entry{key, value});
    }
}

void MetadataValueAttributes::remove(AttributeKey key) {
    if (inline_ && inline_->key == key) {
        if (!overflow_ || overflow_->empty()) {
            inline_.reset();
            overflow_.reset();
            return;
        }
        inline_ = overflow_->back();
        overflow_->pop_back();
        if (overflow_->empty()) overflow_.reset();
        return;
    }
    if (!overflow_) return;
    auto it = std::find_if(overflow_->begin(), overflow_->end(), [key](const Entry& e) { return e.key == key; });
    if (it == overflow_->end()) return;
    overflow_->erase(it);
    if (overflow_->empty()) overflow_.reset();
}

void MetadataValueAttributes::merge(const MetadataValueAttributes& other) {
    if (other.inline_) insert(other.inline_->key, other.inline_->value);
    if (other.overflow_) {
        for (const Entry& entry : *other.overflow_) insert(entry.key, entry.value);
    }
}

std::size_t MetadataValueAttributes::size() const noexcept {
    return (inline_ ? 1 : 0) + (overflow_ ? overflow_->size() : 0);
}

bool MetadataValueAttributes::operator==(const MetadataValueAttributes& other) const {
    if (size() != other.size()) return false;
    auto foundInOther = [&other](const Entry& entry) {
        const Entry* match = other.find(entry.key);
        return match && match->value == entry.value;
    };
    if (inline_ && !foundInOther(*inline_)) return false;
    return !overflow_ || std::all_of(overflow_->begin(), overflow_->end(), foundInOther);
}

}  // namespace logging
