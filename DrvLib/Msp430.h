// The power-management controller on "/dev/msp430".
#ifndef DRVLIB_MSP430_H
#define DRVLIB_MSP430_H

#define MSP430_IOCTL_SET_BATTERY_TYPE  0x40044802
#define MSP430_IOCTL_GET_STATUS        0x80044803
#define MSP430_IOCTL_GET_VOLTAGE       0x80044804
#define MSP430_IOCTL_GET_QUICK_STATUS  0x80044805
#define MSP430_IOCTL_POWER_OFF_START   0x80044806
#define MSP430_IOCTL_POWER_OFF         0x80044807
#define MSP430_IOCTL_LCD_RESET_ON      0x80044808
#define MSP430_IOCTL_LCD_RESET_OFF     0x80044809

extern int g_Msp430_nInputVolume;      // 0-127
extern int g_Msp430_bKeyPress_F1;
extern int g_Msp430_bAdapterConnect;
extern int g_Msp430_nBatteryVolt;
extern int g_Msp430_nBatteryLevel;     // 0-7; 6 on the adapter

int MSP430_Init(void);
int MSP430_UpdateStatus(void);
int MSP430_UpdateF1(void);
int MSP430_SetBatteryType(int nType);
int MSP430_DoPowerOffStart(void);
int MSP430_DoPowerOff(void);
int MSP430_SetLcdReset(int bOn);
void MSP430_Exit(void);

#endif
