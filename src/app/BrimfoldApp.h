#pragma once

// The process entry: one copy per user, then the application and its delegate.
class BrimfoldApp final
{
public:
    BrimfoldApp() = delete;
    static int main(int argc, char **argv);
};
