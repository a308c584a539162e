#include "run_application.h"

int main(int argc, char* argv[]) {
    return zonkle::runApplication(argc, argv);
}
