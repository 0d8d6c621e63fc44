#include "common/zorvan/Exception.h"
#include "common/zorvan/MessagePresenter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Zorvan::Test {
namespace {

struct Shown {
    String text, caption;
    unsigned style;
};

// Installs a presenter that records every box and answers with a fixed
// result; restores the previous presenter when the test ends.
class CapturingPresenter {
public:
    explicit CapturingPresenter(int answer = IDOK)
    {
        previous_ = Zorvan::setMessagePresenter([this, answer](String const &t, String const &c, unsigned s) {
            shown.push_back({t, c, s});
            return answer;
        });
    }
    ~CapturingPresenter() { Zorvan::setMessagePresenter(previous_); }
    std::vector<Shown> shown;

private:
    Zorvan::MessagePresenter previous_;
};

// Counts its own destruction so a test can see ReportError delete it.
class CountedException : public Exception {
public:
    CountedException(wchar_t const *message, int &deaths) : Exception(L"Counted", message), deaths_(deaths) {}
    ~CountedException() override { ++deaths_; }

private:
    int &deaths_;
};

} // namespace

TEST(Exception, CurrentExceptionFollowsConstructionAndAnyDestruction)
{
    auto *first = new Exception(L"First", L"one");
    EXPECT_EQ(CurrentException, first);
    auto *second = new Exception(L"Second", L"two");
    EXPECT_EQ(CurrentException, second);
    delete second;
    EXPECT_EQ(CurrentException, nullptr); // not back to the first
    EXPECT_STREQ(first->GetID(), L"First");
    EXPECT_STREQ(first->GetErrorMessage(), L"one");
    delete first;
    EXPECT_EQ(CurrentException, nullptr);
}

TEST(Exception, OwnsCopiesOfItsTexts)
{
    wchar_t id[] = L"Id";
    wchar_t message[] = L"Message";
    Exception e(id, message);
    id[0] = message[0] = L'X';
    EXPECT_STREQ(e.GetID(), L"Id");
    EXPECT_STREQ(e.GetErrorMessage(), L"Message");

    Exception copy(e);
    EXPECT_NE(copy.GetErrorMessage(), e.GetErrorMessage());
    EXPECT_STREQ(copy.GetErrorMessage(), L"Message");

    Exception nulls(nullptr, nullptr);
    EXPECT_STREQ(nulls.GetID(), L"");
    nulls = e;
    EXPECT_STREQ(nulls.GetID(), L"Id");
}

TEST(Exception, ReportErrorShowsAnErrorBoxThenDeletes)
{
    CapturingPresenter presenter;
    int deaths = 0;
    (new CountedException(L"Cannot open ROM.", deaths))->ReportError();
    (new CountedException(L"", deaths))->ReportError();
    EXPECT_EQ(deaths, 2);
    EXPECT_EQ(CurrentException, nullptr);
    ASSERT_EQ(presenter.shown.size(), 2u);
    EXPECT_EQ(presenter.shown[0].text, L"Cannot open ROM.");
    EXPECT_EQ(presenter.shown[0].caption, L"Error");
    EXPECT_EQ(presenter.shown[0].style, unsigned(MB_OK | MB_ICONERROR));
    EXPECT_EQ(presenter.shown[0].style, 0x10u);
    EXPECT_TRUE(presenter.shown[1].text.IsEmpty());
    EXPECT_EQ(presenter.shown[1].caption, L"Error");
}

TEST(MessagePresenter, InstalledPresenterAnswers)
{
    CapturingPresenter presenter(IDNO);
    EXPECT_EQ(Zorvan::presentMessage(L"Exit?", L"Quintar", MB_YESNO | MB_ICONQUESTION), IDNO);
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].style, 0x24u);
}

TEST(MessagePresenter, WithoutPresenterTheTextGoesToStandardError)
{
    auto previous = Zorvan::setMessagePresenter(nullptr);
    int deaths = 0;
    testing::internal::CaptureStderr();
    (new CountedException(L"Cannot open caf\u00E9.gba.", deaths))->ReportError();
    std::string shown = testing::internal::GetCapturedStderr();
    Zorvan::setMessagePresenter(previous);
    EXPECT_EQ(deaths, 1);
    EXPECT_EQ(shown, "Error: Cannot open caf\xC3\xA9.gba.\n");
}

TEST(MessagePresenter, WithoutPresenterTheDefaultButtonAnswers)
{
    auto previous = Zorvan::setMessagePresenter(nullptr);
    struct Case {
        unsigned style;
        int result;
    } const cases[] = {
        {MB_OK, IDOK},
        {MB_OKCANCEL, IDOK},
        {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, IDIGNORE},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
        {MB_YESNO | MB_ICONQUESTION, IDYES},
        {MB_YESNO | MB_DEFBUTTON2, IDNO},
        {MB_RETRYCANCEL, IDRETRY},
    };
    for (auto const &c : cases)
        EXPECT_EQ(Zorvan::presentMessage(L"text", L"caption", c.style), c.result) << std::hex << c.style;
    Zorvan::setMessagePresenter(previous);
}

} // namespace Zorvan::Test
