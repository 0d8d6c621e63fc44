// One QApplication for every test of this program.
#include <QApplication>
#include <gtest/gtest.h>

namespace {

class ApplicationEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        if (!QApplication::instance())
            m_app = new QApplication(m_argc, m_argv);
    }
    void TearDown() override
    {
        delete m_app;
        m_app = nullptr;
    }

private:
    int m_argc = 1;
    char m_name[16] = "propertytree";
    char* m_argv[2] = {m_name, nullptr};
    QApplication* m_app = nullptr;
};

testing::Environment* const registered = testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

} // namespace
