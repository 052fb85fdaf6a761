// Which error a call raised: tests of refusals compare numbers, not whole try/catch blocks.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace testing_support {

// The number an error carries: the language's error number (number()) or the engine's code
// (code()).
template <typename Error>
auto numberOfError(const Error& error) {
    if constexpr (requires { error.number(); }) {
        return error.number();
    } else {
        return error.code();
    }
}

// Runs `call` and returns the number of the `Error` it raised, or nothing when it returned
// normally; `message` (optional) receives the error's text. Other exceptions pass through, so the
// test fails on them.
template <typename Error, typename Call>
auto errorNumberOf(Call&& call, std::string* message = nullptr)
    -> std::optional<decltype(numberOfError(std::declval<const Error&>()))> {
    try {
        std::forward<Call>(call)();
    } catch (const Error& error) {
        if (message) *message = error.what();
        return numberOfError(error);
    }
    return std::nullopt;
}

}  // namespace testing_support
