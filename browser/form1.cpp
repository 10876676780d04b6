#include "browser/form1.h"

#include "app/program.h"

namespace corvane {

Form1::Form1(Program& program) : Form(program, TheDesign()) {}

void Form1::Form_Load() {
  StartingAddress = TheProgram().Settings().startAddress;
  Show();
}

void Form1::OnEvent(Event& /*event*/) {}

}  // namespace corvane
