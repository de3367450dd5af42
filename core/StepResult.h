#pragma once
// What a step of a run tells its caller: done, or failed with the text for the
// user. The caller decides where the text goes (the status line, a message box,
// vantor-cli's error stream); the step itself only logs.

#include <string>
#include <utility>

namespace vantor {

struct StepResult {
    std::string failure;  // empty when the step was done

    static StepResult done() { return {}; }
    static StepResult failed(std::string text) { return {std::move(text)}; }
    bool ok() const { return failure.empty(); }
    explicit operator bool() const { return ok(); }
};

}  // namespace vantor
