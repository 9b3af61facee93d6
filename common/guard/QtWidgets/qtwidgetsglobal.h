// Put first on the core library's include path: every Qt Widgets header includes this one,
// so a widget header pulled into core code stops the build here.
#error "Qt Widgets must not be used by tessavel_core; move this code to the GUI layer"
