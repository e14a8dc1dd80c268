// The main() of every scenario program: one real program per test process.
#include "tests/scenarios/scenario_support.h"

int main(int argc, char** argv)
{
    PrepareTestProcess();
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new ProgramEnvironment);
    return RUN_ALL_TESTS();
}
