#include "workspace/CurrentImage.h"

#include "imaging/SendableImage.h"

bool CurrentImage::canSend() const {
    if (state == None) {
        return false;
    }
    int reason = 0;
    return IsSendableImage(path, width, height, reason);
}
