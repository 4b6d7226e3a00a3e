// One camera of this type: its five animatable settings, the film size the host last reported,
// the channels that animate the settings, and the panel's focal-length read-out.
#pragma once

#include "host/host_types.h"

#define CAMERA_INFO_TEXT_SIZE 40

struct CameraInstance {
    double zoomFactor;    // focal length = filmHeight * zoomFactor * 0.5
    double hShift;        // horizontal film shift, fraction of filmWidth
    double vShift;        // vertical film shift, fraction of filmHeight
    double tiltDirection; // radians: tilt axis = right axis turned by -tiltDirection about forward
    double tiltAngle;     // radians: turn of the film axes about the tilt axis; exactly 0 = none
    double filmWidth;     // as last reported by the host; 0 until the first preview or frame
    double filmHeight;
    ParamChannel zoomChannel; // "ZoomFactor"; any channel is null if the host refused it
    ParamChannel hShiftChannel;
    ParamChannel vShiftChannel;
    ParamChannel tiltDirectionChannel;
    ParamChannel tiltAngleChannel;
    ChannelGroup channelGroup;            // used while creating the channels
    HostItemId itemId;                    // the camera item this instance belongs to
    char infoText[CAMERA_INFO_TEXT_SIZE]; // "Focal Length ...mm", always zero-terminated
};

// Refreshes the five value fields from their channels at a host time. A null channel is skipped
// and its field keeps its value.
void sampleParameters(CameraInstance* camera, double time);
