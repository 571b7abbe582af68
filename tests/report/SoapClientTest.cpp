#include <gtest/gtest.h>

#include "RecordedRequests.h"
#include "platform/AppError.h"
#include "report/SoapClient.h"
#include "report/SoapMessage.h"
#include "support/ReportService.h"

namespace {

using ta::AppError;
using ta::report::SoapClient;
using ta::test::ReadRecord;
using ta::test::ReportService;

std::vector<std::wstring> TenArguments() {
    std::vector<std::wstring> args(10);
    args[0] = L"1234";
    args[8] = L"30";
    return args;
}

class SoapClientService : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(service.running()) << "the local report service did not start"; }
    std::wstring description(const std::wstring& mode = L"") const {
        return service.base(mode) + L"/webservice5/Ta_Login.asmx?wsdl";
    }

    ReportService service;
};

TEST_F(SoapClientService, CallAnswersTheResultText) {
    SoapClient client;
    client.Initialize(description());
    client.SetClientProperty(L"ServerHTTPRequest", true);
    client.SetConnectorProperty(L"Timeout", 5000L);
    EXPECT_EQ(client.Call(L"Ta_Logon", TenArguments()), L"OK");
    EXPECT_THROW(client.Call(L"Ta_Logon", std::vector<std::wstring>(9)), AppError) << "arguments by position, all of them";
    EXPECT_THROW(client.SetConnectorProperty(L"Timeout", 0L), AppError);
    EXPECT_THROW(client.SetClientProperty(L"NoSuchProperty", true), AppError);
}

TEST_F(SoapClientService, FaultsAndUnreadableDescriptionsAreErrors) {
    SoapClient fault;
    fault.Initialize(description(L"fault"));
    try {
        fault.Call(L"Ta_Logon", TenArguments());
        ADD_FAILURE() << "a SOAP fault must be an error";
    } catch (const AppError& e) {
        EXPECT_NE(e.description().find(L"Server was unable to process request."), std::wstring::npos);
    }

    SoapClient notXml;
    EXPECT_THROW(notXml.Initialize(description(L"notxml")), AppError);
    EXPECT_THROW(notXml.Call(L"Ta_Logon", TenArguments()), AppError) << "not initialised";

    SoapClient noOperation;
    noOperation.Initialize(description(L"noop"));
    EXPECT_THROW(noOperation.Call(L"Ta_Logon", TenArguments()), AppError);
    EXPECT_EQ(ReadRecord(service.record()).requests.size(), 4u) << "no call was posted without its operation";
}

TEST_F(SoapClientService, EndlessAnswerIsAnErrorNotAHang) {
    SoapClient client;
    client.Initialize(description(L"endless"));
    client.SetConnectorProperty(L"Timeout", 60000L);  // only the size ceiling can end it
    EXPECT_THROW(client.Call(L"Ta_Logon", TenArguments()), AppError);
}

TEST_F(SoapClientService, TimeoutCoversTheWholeCall) {
    SoapClient client;
    client.Initialize(description(L"silentcall"));
    client.SetConnectorProperty(L"Timeout", 1500L);
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_THROW(client.Call(L"Ta_Logon", TenArguments()), AppError);
    EXPECT_LT(::GetTickCount64() - start, 1500u + 4000u);
}

TEST(SoapMessage, EscapesTextAndRefusesWhatXmlCannotCarry) {
    EXPECT_EQ(ta::report::EscapeXml(L"a<b>&\"c'\r\n\t타"), L"a&lt;b&gt;&amp;&quot;c&apos;&#13;\n\t타");
    EXPECT_EQ(ta::report::EscapeXml(L"\xD83D\xDE00"), L"\xD83D\xDE00") << "a surrogate pair passes";
    EXPECT_THROW(ta::report::EscapeXml(std::wstring(L"a\x01", 2)), AppError);
    EXPECT_THROW(ta::report::EscapeXml(L"\xD83D"), AppError);
}

TEST(SoapMessage, EnvelopeRefusesNamesThatWouldBreakTheMarkup) {
    ta::report::SoapOperation op;
    op.wrapperName = L"Ta_Logon";
    op.wrapperNamespace = L"urn:x";
    op.parameters = {{L"a><b", true}};
    EXPECT_THROW(ta::report::BuildEnvelope(op, {L""}), AppError);
    op.parameters = {{L"sPid", false}};
    EXPECT_EQ(ta::report::BuildEnvelope(op, {L"1"}).find(L"<m:Ta_Logon xmlns:m=\"urn:x\"><sPid>1</sPid></m:Ta_Logon>") !=
                  std::wstring::npos,
              true);
}

}  // namespace
