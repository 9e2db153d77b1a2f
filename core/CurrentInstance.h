#pragma once

// The one object of an interface that is in charge now: the latest one constructed, until it goes. The
// process-wide window the launcher shows is reached through this, never by its class.
template <typename Interface> class CurrentInstance
{
public:
    static Interface *current() { return s_current; }

protected:
    CurrentInstance() { s_current = static_cast<Interface *>(this); }
    ~CurrentInstance()
    {
        if (s_current == static_cast<Interface *>(this))
            s_current = nullptr;
    }
    CurrentInstance(const CurrentInstance &) = delete;
    CurrentInstance &operator=(const CurrentInstance &) = delete;

private:
    static inline Interface *s_current = nullptr;
};
