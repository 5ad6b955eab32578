/* Holds one hidden window for the whole test run, so that Wine keeps its desktop process
   (and the services it starts) alive between test programs instead of shutting them down
   and making the next GUI program wait. Runs until the wineserver is stopped. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show) {
    (void)previous;
    (void)command_line;
    (void)show;
    WNDCLASSA window_class = {0};
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.hInstance = instance;
    window_class.lpszClassName = "QJXTestKeepAlive";
    RegisterClassA(&window_class);
    CreateWindowA("QJXTestKeepAlive", "QJXTestKeepAlive", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10,
                  NULL, NULL, instance, NULL);
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}
