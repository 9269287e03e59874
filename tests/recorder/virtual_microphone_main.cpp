// main() of the test programs that record from the virtual microphone: it
// exists, as "default", for the whole run.
#include <gtest/gtest.h>

#include "virtual_microphone.h"

namespace recorder_test {

VirtualMicrophone* microphone = nullptr;

}  // namespace recorder_test

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  recorder_test::VirtualMicrophone virtualMicrophone;
  recorder_test::microphone = &virtualMicrophone;
  return RUN_ALL_TESTS();
}
