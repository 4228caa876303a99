// SPDX-License-Identifier: GPL-3.0-or-later
#include "ptylink.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace sim
{

namespace
{

std::runtime_error sysError(const std::string& what)
{
    return std::runtime_error(what + ": " + std::strerror(errno));
}

// The target of a symbolic link, empty when `path` is no link.
std::string linkTarget(const std::string& path)
{
    char buf[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

} // namespace

PtyLink::PtyLink(const std::string& dir, int port)
{
    try {
        if (dir.empty()) {
            const char* tmp = std::getenv("TMPDIR");
            std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/mero-sim.XXXXXX";
            if (!mkdtemp(templ.data()))
                throw sysError("cannot create a temporary directory");
            m_dir = templ;
            m_ownDir = true;
        } else {
            m_dir = dir;
            if (mkdir(m_dir.c_str(), 0700) != 0 && errno != EEXIST)
                throw sysError("cannot create " + m_dir);
            char real[PATH_MAX];
            if (realpath(m_dir.c_str(), real))
                m_dir = real;
        }

        m_port = port;
        openPty();
        makeLink();
    } catch (...) {
        close();
        throw;
    }
}

void PtyLink::openPty()
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0)
        throw sysError("cannot open a pseudo-terminal");
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0)
        throw sysError("cannot unlock the pseudo-terminal");
    char name[PATH_MAX];
    if (ptsname_r(m_master, name, sizeof name) != 0)
        throw sysError("cannot name the pseudo-terminal");
    m_slavePath = name;
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
        throw sysError("cannot open " + m_slavePath);
    termios tio{};
    if (tcgetattr(m_slave, &tio) == 0) {
        cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        cfsetispeed(&tio, B115200);
        cfsetospeed(&tio, B115200);
        tcsetattr(m_slave, TCSANOW, &tio);
    }
    const int flags = fcntl(m_master, F_GETFL);
    fcntl(m_master, F_SETFL, flags | O_NONBLOCK);
}

void PtyLink::makeLink()
{
    m_linkPath = m_dir + "/COM" + std::to_string(m_port);
    if (symlink(m_slavePath.c_str(), m_linkPath.c_str()) != 0) {
        // A link left by a unit that was killed points at a terminal that is gone.
        struct stat st {
        };
        const bool dangling = errno == EEXIST && !linkTarget(m_linkPath).empty() &&
                              stat(m_linkPath.c_str(), &st) != 0;
        if (!dangling || unlink(m_linkPath.c_str()) != 0 ||
            symlink(m_slavePath.c_str(), m_linkPath.c_str()) != 0) {
            const std::string path = m_linkPath;
            m_linkPath.clear();
            throw sysError("cannot create " + path);
        }
    }
}

void PtyLink::vanish()
{
    if (!m_linkPath.empty() && linkTarget(m_linkPath) == m_slavePath)
        unlink(m_linkPath.c_str());
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = m_master = -1;
}

bool PtyLink::reappear()
{
    try {
        openPty();
        makeLink();
        return true;
    } catch (const std::runtime_error&) {
        vanish();
        return false;
    }
}

PtyLink::~PtyLink()
{
    close();
}

void PtyLink::keepEchoOff()
{
    termios tio{};
    if (m_slave >= 0 && tcgetattr(m_slave, &tio) == 0 && (tio.c_lflag & ECHO)) {
        tio.c_lflag &= ~tcflag_t(ECHO | ECHONL);
        tcsetattr(m_slave, TCSANOW, &tio);
    }
}

void PtyLink::close()
{
    if (!m_linkPath.empty() && linkTarget(m_linkPath) == m_slavePath)
        unlink(m_linkPath.c_str());
    m_linkPath.clear();
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = m_master = -1;
    if (m_ownDir && !m_dir.empty())
        rmdir(m_dir.c_str()); // fails harmlessly while other links remain
    m_ownDir = false;
}

} // namespace sim
