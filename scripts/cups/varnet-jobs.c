/* CUPS backend of the test and demo label queues: stores what the driver wrote for each job
 * in the folder named by the device URI (varnet-jobs:/path/to/folder) as
 * job-<id>-<title>.<ext> (pdf, ras or prn by content). Without arguments it reports itself
 * to CUPS's device discovery.
 *
 * CUPS runs a backend of mode 0700 as root, so this program never trusts the folder: it
 * must be a real folder owned by root and writable by nobody else, the job is written to a
 * new file that no one else can have named (O_EXCL, O_NOFOLLOW) and renamed into place, and
 * no path is followed through a symbolic link. A job file is root's alone (0600), as the
 * test and demo set-up makes its folder (0700): a label holds what the counter sold. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

enum { BACKEND_OK = 0, BACKEND_FAILED = 1 };

static int fail(const char* what, const char* path) {
    fprintf(stderr, "ERROR: varnet-jobs: %s: %s (%s)\n", what, path,
            errno ? strerror(errno) : "refused");
    return BACKEND_FAILED;
}

static int write_all(int fd, const char* buf, size_t len) {
    while (len > 0) {
        ssize_t n = write(fd, buf, len);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return -1;
        buf += n;
        len -= (size_t)n;
    }
    return 0;
}

static const char* extension_of(const char* head, size_t len) {
    if (len >= 4 && memcmp(head, "%PDF", 4) == 0)
        return "pdf";
    if (len >= 4 && (memcmp(head, "RaS2", 4) == 0 || memcmp(head, "2SaR", 4) == 0 ||
                     memcmp(head, "RaS3", 4) == 0 || memcmp(head, "3SaR", 4) == 0))
        return "ras";
    return "prn";
}

int main(int argc, char* argv[]) {
    if (argc == 1) {
        puts("direct varnet-jobs \"Unknown\" \"Varnet job capture\"");
        return BACKEND_OK;
    }
    if (argc < 6 || argc > 7) {
        fputs("Usage: varnet-jobs job-id user title copies options [file]\n", stderr);
        return BACKEND_FAILED;
    }
    const char* uri = getenv("DEVICE_URI");
    const char* dir = uri && strncmp(uri, "varnet-jobs:", 12) == 0 ? uri + 12 : "";
    errno = 0;
    if (dir[0] != '/')
        return fail("the device URI names no absolute folder", uri ? uri : "(none)");

    int dfd = open(dir, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dfd < 0)
        return fail("cannot open the capture folder", dir);
    struct stat st;
    errno = 0;
    if (fstat(dfd, &st) != 0 || st.st_uid != 0 || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return fail("the capture folder must be owned by root and writable by no one else", dir);

    int in = 0;
    if (argc == 7) {
        in = open(argv[6], O_RDONLY | O_CLOEXEC);
        if (in < 0)
            return fail("cannot open the print file", argv[6]);
    }

    char tmp[64];
    int out = -1;
    for (int attempt = 0; attempt < 16 && out < 0; ++attempt) {
        unsigned long long r = 0;
        if (getrandom(&r, sizeof r, 0) != (ssize_t)sizeof r)
            return fail("no random numbers", dir);
        snprintf(tmp, sizeof tmp, ".capture-%016llx", r);
        out = openat(dfd, tmp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (out < 0 && errno != EEXIST)
            return fail("cannot create a file in the capture folder", dir);
    }
    if (out < 0)
        return fail("cannot create a file in the capture folder", dir);

    char buf[65536];
    char head[8];
    size_t headLen = 0;
    for (;;) {
        ssize_t n = read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            unlinkat(dfd, tmp, 0);
            return fail("cannot read the job", argc == 7 ? argv[6] : "standard input");
        }
        if (n == 0)
            break;
        for (ssize_t i = 0; i < n && headLen < sizeof head; ++i)
            head[headLen++] = buf[i];
        if (write_all(out, buf, (size_t)n) != 0) {
            unlinkat(dfd, tmp, 0);
            return fail("cannot write the job", dir);
        }
    }
    if (fchmod(out, 0600) != 0 || fsync(out) != 0 || close(out) != 0) {
        unlinkat(dfd, tmp, 0);
        return fail("cannot finish the job file", dir);
    }

    char title[65];
    size_t t = 0;
    for (const char* p = argv[3]; *p && t < 64; ++p, ++t) {
        const char c = *p;
        const int plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        title[t] = plain ? c : '_';
    }
    title[t] = '\0';
    char jobId[32];
    snprintf(jobId, sizeof jobId, "%ld", strtol(argv[1], NULL, 10));
    char name[160];
    snprintf(name, sizeof name, "job-%s-%s.%s", jobId, title, extension_of(head, headLen));
    /* renameat replaces whatever has that name, a planted link included, without following
     * it. */
    if (renameat(dfd, tmp, dfd, name) != 0) {
        unlinkat(dfd, tmp, 0);
        return fail("cannot store the job", dir);
    }
    fsync(dfd);
    close(dfd);
    return BACKEND_OK;
}
