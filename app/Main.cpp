// The one application object; WinMain finds it through AfxGetApp(). Apart from its class, so
// that tests can make one of their own.
#include "ServicePackApp.h"

CServicePackApp theServicePackApp;
