#pragma once
// The local download server of the CTest fixture (tools/download-server.py), seen from a test
// under Wine. Prepare() makes this Wine prefix reach it the way the program reaches the vendor:
// the fixture's test authority in the machine's root store, and WinHTTP's default proxy in the
// registry pointing at the server. A program run afterwards in the prefix needs no change.

#include "framework/System.h"

namespace LocalDownloadServer {

// The fixture's state folder as a Windows path, empty when the tests run without the fixture.
String StateFolder();
// Trusts the authority and sets the proxy; raises when the server's state cannot be read.
void Prepare();
// The same for the server whose state is in State (a Windows path).
void Prepare(const String& State);
// "https://<vendor host>/api/dosyalar/indir?token=<Token>&ad=<RemotePath, encoded by segment>",
// with the program's token unless another is given.
String Url(const String& RemotePath, const String& Token = String());
// The request log's lines so far (method, path and query).
std::vector<String> Requests();

}  // namespace LocalDownloadServer
