#pragma once

namespace uc {

// With UC_TRACE set in the environment, writes "unifica-contribuintes: <moment>" as one line on
// standard error; otherwise nothing. A test that runs the whole program waits for these lines to
// know where the program is: "pronto" once its message loop first waits for the operator, "caixa"
// once a message box is open and waits for the operator. Nothing else is traced.
void traceMoment(const char* moment);

} // namespace uc
