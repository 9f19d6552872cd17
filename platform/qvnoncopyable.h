// The base of a class whose objects own something (a lock, a socket, a
// locale) that two copies would release twice.
#ifndef QV_NONCOPYABLE_H
#define QV_NONCOPYABLE_H

namespace qv {

class noncopyable {
public:
    noncopyable(const noncopyable &) = delete;
    noncopyable &operator=(const noncopyable &) = delete;

protected:
    noncopyable() = default;
    ~noncopyable() = default;
};

} // namespace qv

#endif
