#include "FilePrivileges.h"

#include <initializer_list>

#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

bool dropFileAccessOverride()
{
    if (::geteuid() != 0)
        return true;
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct data[2] {};
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    for (int capability : { CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH }) {
        data[capability / 32].effective &= ~(1u << (capability % 32));
        data[capability / 32].permitted &= ~(1u << (capability % 32));
    }
    return ::syscall(SYS_capset, &header, data) == 0;
}

bool dropFileAccessOverrideAcrossExec()
{
    if (::geteuid() != 0)
        return true;
    for (int capability : { CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH }) {
        if (::prctl(PR_CAPBSET_DROP, capability, 0, 0, 0) != 0)
            return false;
    }
    return true;
}
