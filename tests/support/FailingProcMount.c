/* Preloaded (LD_PRELOAD) into a test program, it plays a container whose masked /proc allows no
   new mount of it: mounting a proc file system fails, every other mount goes through. */
#include <errno.h>
#include <string.h>
#include <sys/syscall.h>
#include <unistd.h>

int mount(const char* source, const char* target, const char* type, unsigned long flags,
          const void* data) {
    if (type && strcmp(type, "proc") == 0) {
        errno = EPERM;
        return -1;
    }
    return (int)syscall(SYS_mount, source, target, type, flags, data);
}
