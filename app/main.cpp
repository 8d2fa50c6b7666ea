// The program's entry: the command line is kept before the platform sees
// it, the image layer hands its readers to the drawing layer and registers
// its clipboard format, the print editor opens its door in the viewer, the
// program's icon goes on its windows, and the main window's routine runs
// until the main loop ends.
#include "baselib/system_functions.h"
#include "images/drawing_hooks.h"
#include "images/gif_writer.h"
#include "platform/application.h"
#include "printing/edit_collage_print.h"
#include "runtime/runtime_services.h"
#include "viewer/app_icon.h"
#include "viewer/collage_viewer.h"

int main(int argc, char** argv) {
  brek::System_functions::capture_platform_arguments(argc, argv);
  brek_platform::init_application(argc, argv);
  brek::Drawing_hooks::install();
  brek::TGIFImage::register_class();
  brek::C_Edit_collage_print::install();
  int rc = brek::Brek_runtime::run_main([] {
    brek::App_icon::load();
    brek::C_Collage_viewer::main();
  });
  brek::TGIFImage::unregister_class();
  brek_platform::shutdown_application();
  return rc;
}
