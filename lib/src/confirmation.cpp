#include "varnok/confirmation.h"

#include <stdexcept>
#include <utility>

namespace varnok {

std::int32_t ConfirmationResult = 0;

namespace {

ConfirmationDialogRunner& dialogRunner() {
  static ConfirmationDialogRunner runner;
  return runner;
}

}  // namespace

void setConfirmationDialogRunner(ConfirmationDialogRunner runner) {
  dialogRunner() = std::move(runner);
}

std::int32_t AskConfirmation(std::u16string_view message) {
  // A copy, so that a runner that replaces itself while it runs stays alive.
  const ConfirmationDialogRunner runner = dialogRunner();
  if (!runner) {
    throw std::logic_error("AskConfirmation: no confirmation dialog is installed");
  }
  runner(message);
  return ConfirmationResult;
}

}  // namespace varnok
