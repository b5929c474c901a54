// The system's yes/no question, asked in its own modal dialog.
#pragma once

#include <cstdint>
#include <string_view>

namespace varnok {

// 6 after "Sim", 0 after "Não"; 0 at start. Only the dialog's buttons write it.
extern std::int32_t ConfirmationResult;

// Shows the confirmation dialog modally for message and returns ConfirmationResult.
std::int32_t AskConfirmation(std::u16string_view message);

}  // namespace varnok
