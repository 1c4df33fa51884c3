#pragma once
// What an effect may ask of whoever hosts it.

#include <cstdint>
#include <string>

namespace kx {

struct HostInfo {
    std::string product;  // empty when the host gives none
    std::string vendor;
    int32_t vendorVersion = 0;
};

class HostCallback {
public:
    virtual ~HostCallback();
    // Sets a parameter from the plug-in side (its editor); reaches the audio thread in order
    // and is reported to the host for automation recording. One calling thread at a time.
    virtual void automate(int index, float value) = 0;
    // The same, but the value is stored at once on the calling thread.
    virtual void automateNow(int index, float value) = 0;
    // An edit of one parameter begins or ends (the user takes or lets go of its control),
    // so that hosts can record touch automation; the values come through automate().
    virtual void beginEdit(int) {}
    virtual void endEdit(int) {}
    virtual HostInfo hostInfo() = 0;
};

}  // namespace kx
