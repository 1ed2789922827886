#pragma once

#include "httpserverconfig.h"

// The API server as the program runs it: the server's defaults, the port of VARNEL_PORT when
// set (0: any free one; tests run several programs side by side), the addresses of
// VARNEL_LISTEN_ADDRESSES when set, and this installation's key pair, made before. Written into the settings
// group "listener" at every start, for support.
class ApiServerConfig
{
public:
    static HttpServerConfig make();
};
