#pragma once

#include <QCoreApplication>

#include <memory>

// The application object of a GoogleTest fixture whose objects answer on an
// event loop: made when the program has none yet, and gone with the fixture.
// Declared before the fixture's other members, it outlives them.
class TestApplication
{
public:
    TestApplication()
    {
        if (!QCoreApplication::instance())
            m_app = std::make_unique<QCoreApplication>(m_argc, m_argv);
    }
    // QCoreApplication keeps the address of argc.
    TestApplication(const TestApplication &) = delete;
    TestApplication &operator=(const TestApplication &) = delete;

private:
    int m_argc = 1;
    char m_arg0[6] = "tests";
    char *m_argv[2] = {m_arg0, nullptr};
    std::unique_ptr<QCoreApplication> m_app;
};
