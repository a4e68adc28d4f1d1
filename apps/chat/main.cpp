// The kavu-chat entry point: installs the blob store, describes the
// application to the toolkit and hands over; the toolkit chooses between a
// window and a screenshot run and calls back through the hooks.
#include "app/startup.h"

#include <ui/launch.h>

int main(int argc, char** argv) {
    chat::app::install_blob_store();
    kavu::ui::LaunchDescription description = chat::app::launch_description();
    kavu::ui::launch::run_or_exit(description, argc, argv);
}
