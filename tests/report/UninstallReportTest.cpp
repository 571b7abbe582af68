#include <gtest/gtest.h>

#include "RecordedRequests.h"
#include "platform/AppError.h"
#include "platform/Text.h"
#include "record/RemovalRecord.h"
#include "report/SoapClient.h"
#include "report/UninstallReport.h"
#include "run/RemovalRun.h"
#include "support/ReportService.h"

namespace {

using ta::test::ParseCall;
using ta::test::ReadRecord;
using ta::test::Record;
using ta::test::ReportService;

constexpr wchar_t kDocNamespace[] = L"http://ta.example.com/webservice5/";
const std::vector<std::wstring> kParameterNames = {L"sPid", L"sUser", L"sMac", L"sIp",   L"sOs",
                                                   L"sVer", L"sPath", L"sEtc", L"sCode", L"sMemo"};

// A run with the settings the start page would have read.
struct ScopedSettings {
    ScopedSettings(std::wstring pid, std::wstring server) {
        run.PidSetting = std::move(pid);
        run.MServerSetting = std::move(server);
    }
    ta::RemovalRun run;
};

// Sends the report as the settings stand and answers what the record says became of it.
ta::RecordEntry SendAndRecord(const ScopedSettings& settings) {
    ta::RemovalRecord record;
    ta::RecordingScope recording(record);
    ta::SendUninstallReport(settings.run);
    const auto entries = record.Entries();
    EXPECT_EQ(entries.size(), 1u) << "one line for the report, none for a step";
    return entries.empty() ? ta::RecordEntry{} : entries.back();
}

class UninstallReport : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(service.running()) << "the local report service did not start"; }
    Record record() const { return ReadRecord(service.record()); }
    // Sends the report to each mode of the service: each fails, and says so in its words.
    void ExpectFailures(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> modes) const {
        for (const auto& [mode, words] : modes) {
            ScopedSettings settings(L"1234", service.base(mode));
            const ta::RecordEntry entry = SendAndRecord(settings);
            EXPECT_EQ(entry.outcome, ta::Outcome::Failed) << mode;
            EXPECT_EQ(entry.detail.rfind(words, 0), 0u) << mode << ": " << ta::ToUtf8(entry.detail);
        }
    }

    ReportService service;
};

TEST_F(UninstallReport, SendsPidAndCodeToTheDescribedEndpoint) {
    const std::wstring pid = L"PID<7>&\"타르닐\"";
    ScopedSettings settings(pid, service.base());
    const ta::RecordEntry sent = SendAndRecord(settings);
    EXPECT_EQ(sent.kind, ta::ItemKind::Report);
    EXPECT_EQ(sent.outcome, ta::Outcome::Done);
    EXPECT_EQ(sent.detail, L"sent");

    const Record r = record();
    ASSERT_EQ(r.requests.size(), 2u);
    EXPECT_EQ(r.requests[0].method, L"GET");
    EXPECT_EQ(r.requests[0].path, L"/webservice5/Ta_Login.asmx?wsdl");

    const auto& post = r.requests[1];
    EXPECT_EQ(post.method, L"POST");
    EXPECT_EQ(post.path, L"/webservice5/Ta_Login.asmx") << "the SOAP 1.1 port, not the 1.2 one";
    EXPECT_EQ(post.soapAction, L"\"http://ta.example.com/webservice5/Ta_Logon\"");
    EXPECT_EQ(post.contentType, L"text/xml; charset=utf-8");

    const auto call = ParseCall(post.body);
    EXPECT_EQ(call.wrapper.name, L"Ta_Logon");
    EXPECT_EQ(call.wrapper.namespaceUri, kDocNamespace);
    ASSERT_EQ(call.parameters.size(), 10u);
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(call.parameters[i].name, kParameterNames[i]);
        EXPECT_EQ(call.parameters[i].namespaceUri, kDocNamespace) << "qualified like the schema says";
        const std::wstring expected = i == 0 ? pid : i == 8 ? L"30" : L"";
        EXPECT_EQ(call.parameters[i].text, expected) << "parameter " << i;
    }
}

TEST_F(UninstallReport, RpcStyleSendsTheMessagePartsInTheOperationNamespace) {
    ScopedSettings settings(L"1234", service.base(L"rpc"));
    ta::SendUninstallReport(settings.run);

    const Record r = record();
    ASSERT_EQ(r.requests.size(), 2u);
    EXPECT_EQ(r.requests[1].path, L"/rpc/webservice5/Ta_Login.asmx");
    EXPECT_EQ(r.requests[1].soapAction, L"\"urn:ta-example-report-rpc#Ta_Logon\"");
    const auto call = ParseCall(r.requests[1].body);
    EXPECT_EQ(call.wrapper.name, L"Ta_Logon");
    EXPECT_EQ(call.wrapper.namespaceUri, L"urn:ta-example-report-rpc");
    ASSERT_EQ(call.parameters.size(), 10u);
    EXPECT_EQ(call.parameters[0].name, L"sPid");
    EXPECT_EQ(call.parameters[0].namespaceUri, L"") << "rpc parts are unqualified";
    EXPECT_EQ(call.parameters[0].text, L"1234");
    EXPECT_EQ(call.parameters[8].text, L"30");
}

TEST_F(UninstallReport, ServerAddressIsJoinedAsItIs) {
    ScopedSettings settings(L"1234", service.base() + L"/");
    ta::SendUninstallReport(settings.run);

    const Record r = record();
    ASSERT_GE(r.requests.size(), 1u);
    EXPECT_EQ(r.requests[0].path, L"//webservice5/Ta_Login.asmx?wsdl");
}

TEST_F(UninstallReport, MissingSettingsTouchNoNetwork) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"", service.base()},
        {L"Error", service.base()},
        {L"1234", L"Error"},
        {L"1234", L""},
    };
    for (const auto& [pid, server] : cases) {
        ScopedSettings settings(pid, server);
        const ta::RecordEntry entry = SendAndRecord(settings);
        EXPECT_EQ(entry.outcome, ta::Outcome::Absent);
        EXPECT_EQ(entry.detail, pid == L"1234" ? L"not sent: no server setting" : L"not sent: no installation id");
    }
    const Record r = record();
    EXPECT_EQ(r.connections, 0);
    EXPECT_TRUE(r.requests.empty());
}

TEST_F(UninstallReport, FailuresEndSilentlyAndTheRecordSaysWhy) {
    // Each returns; nothing escapes, and the record says why it did not go through.
    ExpectFailures({{L"fault", L"refused: SOAP fault: "},
                    {L"notxml", L"not sent: "},
                    {L"noop", L"not sent: The service description offers no operation Ta_Logon"},
                    {L"broken", L"refused: HTTP 500"}});
    const Record r = record();
    ASSERT_EQ(r.requests.size(), 5u) << "the fault's call is sent; the others stop at the description";
    EXPECT_EQ(r.requests[1].path, L"/fault/webservice5/Ta_Login.asmx");
    EXPECT_EQ(r.requests[2].path, L"/notxml/webservice5/Ta_Login.asmx?wsdl");
    EXPECT_EQ(r.requests[3].path, L"/noop/webservice5/Ta_Login.asmx?wsdl");
    EXPECT_EQ(r.requests[4].path, L"/broken/webservice5/Ta_Login.asmx?wsdl");
}

// The report goes only where it was decided to go, with only the headers it wrote: a description
// whose soapAction would add header lines, a service that sends it elsewhere, and a description
// whose endpoint names another port than the server setting's, are refused.
TEST_F(UninstallReport, AnInjectedHeaderOrARedirectIsRefusedAndNothingGoesElsewhere) {
    ExpectFailures({{L"crlf", L"refused: the service description's soapAction holds control characters"},
                    {L"redirect", L"refused: redirect to http://"},
                    {L"redirectcall", L"refused: redirect to http://"},
                    {L"otherport", L"refused: the service description names another host: http://127.0.0.1:"}});
    const Record r = record();
    ASSERT_EQ(r.requests.size(), 5u) << "the descriptions, and the one call that was redirected";
    EXPECT_EQ(r.requests[3].path, L"/redirectcall/webservice5/Ta_Login.asmx");
    for (const auto& request : r.requests) EXPECT_EQ(request.path.find(L"/elsewhere/"), std::wstring::npos);
}

TEST_F(UninstallReport, UnreachableServerEndsSilentlyAsNotSent) {
    const std::wstring address = service.base();
    service.stop();  // nothing listens on its port any more
    ta::report::SoapClient client;
    EXPECT_THROW(client.Initialize(address + L"/webservice5/Ta_Login.asmx?wsdl"), ta::AppError);
    ScopedSettings settings(L"1234", address);
    const ta::RecordEntry entry = SendAndRecord(settings);  // and the report passes over it
    EXPECT_EQ(entry.outcome, ta::Outcome::Failed);
    EXPECT_EQ(entry.detail.rfind(L"not sent: no service answered", 0), 0u) << ta::ToUtf8(entry.detail);
}

// 5 s for the report as a whole: a silent service is left then, and so is a slow one whose
// description and answer each take 4 s (the call gets only what the description left).
TEST_F(UninstallReport, SilentOrSlowServiceIsLeftFiveSecondsAfterTheStart) {
    for (const wchar_t* mode : {L"silent", L"slow"}) {
        ScopedSettings settings(L"1234", service.base(mode));
        const ULONGLONG start = ::GetTickCount64();
        const ta::RecordEntry entry = SendAndRecord(settings);
        const ULONGLONG elapsed = ::GetTickCount64() - start;
        EXPECT_EQ(entry.detail, L"not sent: no service answered in 5 s") << mode;
        EXPECT_GE(elapsed, 4500u) << mode << ": the server was given its time";
        EXPECT_LT(elapsed, 5000u + 1500u) << mode << ": 5 s in all, plus a margin for a loaded machine";
    }
    const Record r = record();
    ASSERT_EQ(r.requests.size(), 3u) << "the silent description; the slow one and its call";
    EXPECT_EQ(r.requests[2].path, L"/slow/webservice5/Ta_Login.asmx");
}

}  // namespace
