#include "app/DemoRegisters.h"
#include "app/Program.h"

int main(int argc, char** argv) {
  TDemoRegisters demo;
  return RunProgram(argc, argv, demo.Ports(), true);
}
