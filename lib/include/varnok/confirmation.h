// The system's yes/no question, asked in its own modal dialog.
//
// The dialog is a window and lives in dialogs/, above this library; it installs itself
// here as the runner (installConfirmationDialog() in varnok/UfrmMessageBox.h), which
// the program does once at start.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace varnok {

// The codes of the two answers.
inline constexpr std::int32_t kAnswerYes = 6;
inline constexpr std::int32_t kAnswerNo = 0;

// 6 after "Sim", 0 after "Não"; 0 at start. Only the dialog's buttons write it; a
// dialog closed by other means leaves it as it was.
extern std::int32_t ConfirmationResult;

// Shows the dialog for the message modally and returns once it has closed.
using ConfirmationDialogRunner = std::function<void(std::u16string_view message)>;

// Installs the runner; an empty function removes it.
void setConfirmationDialogRunner(ConfirmationDialogRunner runner);

// Shows the confirmation dialog modally for message and returns ConfirmationResult.
// Throws std::logic_error when no dialog is installed: a question nobody was asked
// must not come back as an answer.
std::int32_t AskConfirmation(std::u16string_view message);

}  // namespace varnok
