// Downloads from the local download server through the system's WinHTTP, over TLS and the proxy
// that stands for the vendor's network. The suite's name ends in LocalServer: CTest starts the
// server for it (tests/framework/net/server-fixture.py) and names its state folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "LocalDownloadServer.h"
#include "framework/Classes.h"
#include "framework/NetHTTPClient.h"
#include "framework/SysUtils.h"
#include "installer/DownloadHost.h"

namespace {

// The fixture's data.bin: the same formula as server-fixture.py.
TBytes ServedData() {
  TBytes B(2621447);
  for (size_t I = 0; I < B.size(); ++I) B[I] = Byte((I * 31 + I / 1000) & 0xFF);
  return B;
}

TBytes Contents(TMemoryStream& S) {
  const Byte* P = static_cast<const Byte*>(S.GetMemory());
  return TBytes(P, P + S.GetSize());
}

struct Progress {
  Int64 ContentLength;
  Int64 ReadCount;
  bool operator==(const Progress&) const = default;
};

class NetHTTPClientLocalServer : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!LocalDownloadServer::StateFolder().empty()) LocalDownloadServer::Prepare();
  }
  void SetUp() override {
    if (LocalDownloadServer::StateFolder().empty()) GTEST_SKIP() << "needs the download server of the CTest fixture";
    Client = std::make_unique<TNetHTTPClient>(nullptr);
    Client->SetOnReceiveData([this](TObject* Sender, Int64 Length, Int64 Count, bool&) {
      EXPECT_EQ(Sender, Client.get());
      Events.push_back({Length, Count});
    });
  }

  std::unique_ptr<TNetHTTPClient> Client;
  std::vector<Progress> Events;
};

TEST_F(NetHTTPClientLocalServer, DownloadsIntoTheStreamWithItsLength) {
  EXPECT_EQ(Client->GetSecureProtocols(), (THTTPSecureProtocols{TLS12, TLS13}));
  const TBytes Data = ServedData();
  TMemoryStream Body;
  Body.WriteBuffer("head", 4);  // written from the stream's position
  IHTTPResponsePtr R = Client->Get(LocalDownloadServer::Url(L"diger/data.bin"), &Body);
  EXPECT_EQ(R->GetStatusCode(), 200);
  EXPECT_EQ(R->GetStatusText(), L"OK");
  EXPECT_EQ(R->GetContentLength(), Int64(Data.size()));
  EXPECT_EQ(R->GetHeaderValue(L"content-type"), L"application/octet-stream");
  EXPECT_EQ(R->GetContentStream(), &Body);
  TBytes Expected{'h', 'e', 'a', 'd'};
  Expected.insert(Expected.end(), Data.begin(), Data.end());
  EXPECT_TRUE(Contents(Body) == Expected);
  // From 0 to the whole body, every event with the length.
  ASSERT_GE(Events.size(), 3u);
  EXPECT_EQ(Events.front(), (Progress{Int64(Data.size()), 0}));
  EXPECT_EQ(Events.back(), (Progress{Int64(Data.size()), Int64(Data.size())}));
  for (size_t I = 1; I < Events.size(); ++I) {
    EXPECT_EQ(Events[I].ContentLength, Int64(Data.size()));
    EXPECT_GT(Events[I].ReadCount, Events[I - 1].ReadCount);
  }
}

TEST_F(NetHTTPClientLocalServer, DownloadsWithoutContentLength) {
  const TBytes Data = ServedData();
  TMemoryStream Body;
  IHTTPResponsePtr R = Client->Get(LocalDownloadServer::Url(L"nolength.bin"), &Body);
  EXPECT_EQ(R->GetStatusCode(), 200);
  EXPECT_EQ(R->GetContentLength(), -1);
  EXPECT_TRUE(Contents(Body) == Data);
  ASSERT_FALSE(Events.empty());
  for (const auto& E : Events) EXPECT_EQ(E.ContentLength, -1);
  EXPECT_EQ(Events.back().ReadCount, Int64(Data.size()));
}

TEST_F(NetHTTPClientLocalServer, SendsTheEncodedPathAndReadsText) {
  IHTTPResponsePtr R = Client->Get(LocalDownloadServer::Url(L"Türkçe klasör/ı dosya+1.txt"));
  EXPECT_EQ(R->GetStatusCode(), 200);
  EXPECT_EQ(R->ContentAsString(), L"merhaba ğüşıöç İ\n");  // UTF-8 with its byte-order mark
  // Other suites may use the server meanwhile: the line is somewhere in its log.
  const std::vector<String> Log = LocalDownloadServer::Requests();
  EXPECT_NE(std::find(Log.begin(), Log.end(), String(L"GET /api/dosyalar/indir?token=") + DownloadToken +
                                                  L"&ad=T%C3%BCrk%C3%A7e+klas%C3%B6r/%C4%B1+dosya%2B1.txt"),
            Log.end());
}

TEST_F(NetHTTPClientLocalServer, AnswersErrorStatusesWithTheirText) {
  struct Case {
    const wchar_t* RemotePath;
    const wchar_t* Token;
    Integer Status;
    const wchar_t* Text;
  };
  const Case Cases[] = {
      {L"diger/yok.zip", L"", 404, L"Not Found"},
      {L"broken", L"", 503, L"Service Unavailable"},
      {L"diger/data.bin", L"wrong", 403, L"Forbidden"},
  };
  for (const auto& C : Cases) {
    TMemoryStream Body;
    IHTTPResponsePtr R = Client->Get(LocalDownloadServer::Url(C.RemotePath, C.Token), &Body);
    EXPECT_EQ(R->GetStatusCode(), C.Status) << UTF8Encode(C.RemotePath);
    EXPECT_EQ(R->GetStatusText(), C.Text) << UTF8Encode(C.RemotePath);
  }
}

TEST_F(NetHTTPClientLocalServer, EmptyBodyReportsItsLength) {
  TMemoryStream Body;
  IHTTPResponsePtr R = Client->Get(LocalDownloadServer::Url(L"empty.bin"), &Body);
  EXPECT_EQ(R->GetStatusCode(), 200);
  EXPECT_EQ(R->GetContentLength(), 0);
  EXPECT_EQ(Body.GetSize(), 0);
  EXPECT_EQ(Events, (std::vector<Progress>{{0, 0}}));
}

TEST_F(NetHTTPClientLocalServer, ABodyCutShortIsAnError) {
  TMemoryStream Body;
  try {
    Client->Get(LocalDownloadServer::Url(L"short.bin"), &Body);
    ADD_FAILURE() << "a dropped connection was taken for a whole download";
  } catch (const ENetHTTPClientException& E) {
    EXPECT_FALSE(E.Message().empty());
    EXPECT_NE(E.ErrorCode, 0u);
  }
  EXPECT_LE(Body.GetSize(), 100000);
}

TEST_F(NetHTTPClientLocalServer, AbortEndsTheTransfer) {
  Client->SetOnReceiveData([](TObject*, Int64, Int64 Count, bool& Abort) { Abort = Count > 0; });
  TMemoryStream Body;
  EXPECT_THROW(Client->Get(LocalDownloadServer::Url(L"diger/data.bin"), &Body), EAbort);
  EXPECT_LT(Body.GetSize(), 2621447);
}

TEST_F(NetHTTPClientLocalServer, FailuresRaiseTheSystemsMessage) {
  // The proxy refuses every host but the vendor's.
  try {
    Client->Get(L"https://baska.example.com/");
    ADD_FAILURE() << "no error";
  } catch (const ENetHTTPClientException& E) {
    EXPECT_NE(E.ErrorCode, 0u);
    EXPECT_NE(E.Message().find(IntToStr(Integer(E.ErrorCode))), String::npos) << UTF8Encode(E.Message());
  }
  EXPECT_THROW(Client->Get(L"bozuk adres"), ENetHTTPClientException);
  EXPECT_THROW(Client->Get(L"ftp://127.0.0.1/x"), ENetHTTPClientException);
}

TEST_F(NetHTTPClientLocalServer, ATransferWithoutProgressFailsAfterItsTimeOut) {
  EXPECT_EQ(Client->GetResponseTimeout(), 30000);
  EXPECT_EQ(Client->GetConnectionTimeout(), 30000);
  Client->SetResponseTimeout(1000);
  const struct {
    const wchar_t* RemotePath;
    const char* What;
  } Cases[] = {
      {L"stall.bin", "1000 bytes, then nothing"},
      {L"drip.bin", "a byte every 5 seconds"},
      {L"mute.bin", "no answer at all"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    TMemoryStream Body;
    const DWORD Start = GetTickCount();
    try {
      Client->Get(LocalDownloadServer::Url(C.RemotePath), &Body);
      ADD_FAILURE() << "a transfer that stopped was taken for a whole download";
    } catch (const ENetHTTPClientException& E) {
      EXPECT_EQ(E.ErrorCode, 12002u);  // ERROR_WINHTTP_TIMEOUT
      EXPECT_NE(E.Message().find(L"no data for 1 s"), String::npos) << UTF8Encode(E.Message());
    }
    // The client's wait, not the server's patience (two minutes), ended it.
    EXPECT_LT(GetTickCount() - Start, 20000u);
    EXPECT_LE(Body.GetSize(), 1000);
  }
}

TEST_F(NetHTTPClientLocalServer, BytesPastTheAnnouncedLengthAreNotTaken) {
  // The server announces the file's length and sends 100 bytes more: the body is the file, never
  // more (WinHTTP stops at the length; the client refuses a body that runs past it as well).
  TMemoryStream Body;
  IHTTPResponsePtr R = Client->Get(LocalDownloadServer::Url(L"extra.bin"), &Body);
  EXPECT_EQ(R->GetContentLength(), Int64(ServedData().size()));
  EXPECT_TRUE(Contents(Body) == ServedData());
}

}  // namespace
