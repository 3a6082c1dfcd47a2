#pragma once

// The module that reads the removable stick: asked to fetch a calibration file,
// it hands the file's text back through ILonCalibration::importFileFromStick.
class ILoadFromStickCallback
{
public:
    virtual ~ILoadFromStickCallback() = default;
    virtual void loadFromStick() = 0;
};
