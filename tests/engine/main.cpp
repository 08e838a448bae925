#include <clienttestmain.h>

int main(int argc, char **argv)
{
    return testsupport::runClientTests(argc, argv, "ravelind-engine-tests");
}
