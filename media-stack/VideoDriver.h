// The video drivers' interface beyond V4L2, as the device's kernel
// declares it: the capture driver's sensor re-initialisation.
#ifndef MEDIA_STACK_VIDEODRIVER_H
#define MEDIA_STACK_VIDEODRIVER_H

#include <linux/videodev2.h>

// Runs the sensor's initialisation sequence: every register back to its
// power-on value, the crop window the whole field of the current format.
#define VPFE_CMD_SENSOR_INIT _IO('V', BASE_VIDIOC_PRIVATE + 0)

// Device nodes: the camera, and the video windows of the two outputs.
#define VIDEO_CAPTURE_DEVICE "/dev/video0"
#define VIDEO_HDMI_DEVICE "/dev/video1"
#define VIDEO_LCD_DEVICE "/dev/video2"

#endif
