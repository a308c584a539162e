#include "platform_choice.h"
#include "run_application.h"

int main(int argc, char* argv[]) {
    zonkle::choosePlatform();
    return zonkle::runApplication(argc, argv);
}
