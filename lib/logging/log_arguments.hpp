#pragma once

#include "logging/description.hpp"
#include "logging/message.hpp"
#include "logging/metadata_value.hpp"

#include <concepts>
#include <cstddef>
#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

// The lazily evaluated arguments of the log methods. Each refers to what the caller passed (a
// value, or a function that makes it) without copying or calling anything, so a call that the
// level check drops costs nothing more. They are meant only as parameters of the log methods:
// like std::string_view they must not outlive the call they are passed to.

namespace logging {

/// What can become a metadata value: a MetadataValue, what converts to one (text, a Metadata
/// map, an array), or any Describable value, which gives a `string` of its description (so an
/// integer gives its decimal text and an exception_ptr its error's description).
template <class T>
concept MetadataConvertible = std::convertible_to<const T&, MetadataValue> || Describable<T>;

/// The MetadataValue of a MetadataConvertible.
template <MetadataConvertible T>
MetadataValue toMetadataValue(const T& value) {
    if constexpr (std::convertible_to<const T&, MetadataValue>) {
        return MetadataValue(value);
    } else {
        return MetadataValue(describeValue(value));
    }
}

namespace detail {

template <class T>
concept StringLike = std::convertible_to<const T&, std::string_view>;

template <class F, class R>
concept Maker = !StringLike<std::remove_cvref_t<F>> && std::invocable<std::remove_reference_t<F>&> &&
                std::convertible_to<std::invoke_result_t<std::remove_reference_t<F>&>, R>;

/// A reference to an argument and the function that turns it into a T.
template <class T>
class LazyRef {
public:
    bool present() const noexcept { return make_ != nullptr; }
    T get() const { return make_(object_, size_); }

    using Make = T (*)(const void*, std::size_t);

    LazyRef() = default;
    LazyRef(const void* object, std::size_t size, Make make) noexcept : object_(object), size_(size), make_(make) {}

    template <class F>
    static LazyRef fromMaker(F& make) noexcept {
        return LazyRef(std::addressof(make), 0, [](const void* object, std::size_t) -> T {
            if constexpr (std::same_as<T, MetadataValue>) {
                return toMetadataValue(std::invoke(*static_cast<F*>(const_cast<void*>(object))));
            } else {
                return T(std::invoke(*static_cast<F*>(const_cast<void*>(object))));
            }
        });
    }

    static LazyRef fromText(std::string_view text) noexcept {
        return LazyRef(text.data(), text.size(), [](const void* data, std::size_t size) -> T {
            return T(std::string_view(static_cast<const char*>(data), size));
        });
    }

    static LazyRef fromCString(const char* text) noexcept {
        return LazyRef(text, 0, [](const void* data, std::size_t) -> T { return T(static_cast<const char*>(data)); });
    }

private:
    const void* object_ = nullptr;
    std::size_t size_ = 0;
    Make make_ = nullptr;
};

}  // namespace detail

/// The message of a log call: text, a Message, or a function returning one of them.
class LazyMessage : public detail::LazyRef<Message> {
public:
    LazyMessage(const char* text) noexcept : LazyRef(fromCString(text)) {}
    LazyMessage(std::string_view text) noexcept : LazyRef(fromText(text)) {}
    LazyMessage(const std::string& text) noexcept : LazyRef(fromText(text)) {}
    LazyMessage(const Message& message) noexcept : LazyRef(fromText(message.value)) {}

    template <class F>
        requires detail::Maker<F, Message>
    LazyMessage(F&& make) noexcept : LazyRef(fromMaker(make)) {}
};

/// The error of a log call: an exception_ptr or a function returning one; absent by default or
/// when it is null.
class LazyError : public detail::LazyRef<std::exception_ptr> {
public:
    LazyError() = default;
    LazyError(const std::exception_ptr& error) noexcept
        : LazyRef(&error, 0, [](const void* object, std::size_t) { return *static_cast<const std::exception_ptr*>(object); }) {}

    template <class F>
        requires detail::Maker<F, std::exception_ptr>
    LazyError(F&& make) noexcept : LazyRef(fromMaker(make)) {}
};

/// The explicit source of a log call: text or a function returning text; absent by default.
class LazySource : public detail::LazyRef<std::string> {
public:
    LazySource() = default;
    LazySource(const char* text) noexcept : LazyRef(fromCString(text)) {}
    LazySource(std::string_view text) noexcept : LazyRef(fromText(text)) {}
    LazySource(const std::string& text) noexcept : LazyRef(fromText(text)) {}

    template <class F>
        requires detail::Maker<F, std::string>
    LazySource(F&& make) noexcept : LazyRef(fromMaker(make)) {}
};

/// One metadata value of a log call: a MetadataConvertible or a function returning one.
class LazyValue : public detail::LazyRef<MetadataValue> {
public:
    template <class T>
        requires(!std::same_as<std::remove_cvref_t<T>, LazyValue>) &&
                (MetadataConvertible<std::remove_cvref_t<T>> ||
                 (std::invocable<std::remove_reference_t<T>&> &&
                  MetadataConvertible<std::remove_cvref_t<std::invoke_result_t<std::remove_reference_t<T>&>>>))
    LazyValue(T&& value) noexcept : LazyRef(from(value)) {}

private:
    template <class T>
    static LazyRef from(T& value) noexcept {
        if constexpr (std::invocable<T&>) {
            return fromMaker(value);
        } else {
            return LazyRef(std::addressof(value), 0, [](const void* object, std::size_t) {
                return toMetadataValue(*static_cast<const T*>(object));
            });
        }
    }
};

/// The metadata of a log call: entries in braces ({{"method", method}, {"id", id}}), a Metadata
/// map, or a function returning a Metadata or an optional one; absent by default.
class LazyMetadata : public detail::LazyRef<std::optional<Metadata>> {
public:
    struct Entry {
        std::string_view key;
        LazyValue value;
    };

    LazyMetadata() = default;
    LazyMetadata(std::initializer_list<Entry> entries) noexcept
        : LazyRef(entries.begin(), entries.size(), [](const void* object, std::size_t size) {
              const auto* entry = static_cast<const Entry*>(object);
              std::optional<Metadata> metadata(std::in_place);
              for (std::size_t i = 0; i < size; ++i) metadata->insert_or_assign(std::string(entry[i].key), entry[i].value.get());
              return metadata;
          }) {}
    LazyMetadata(const Metadata& metadata) noexcept
        : LazyRef(&metadata, 0, [](const void* object, std::size_t) {
              return std::optional<Metadata>(*static_cast<const Metadata*>(object));
          }) {}
    LazyMetadata(const std::optional<Metadata>& metadata) noexcept
        : LazyRef(&metadata, 0, [](const void* object, std::size_t) {
              return *static_cast<const std::optional<Metadata>*>(object);
          }) {}

    template <class F>
        requires detail::Maker<F, std::optional<Metadata>>
    LazyMetadata(F&& make) noexcept : LazyRef(fromMaker(make)) {}
};

}  // namespace logging
