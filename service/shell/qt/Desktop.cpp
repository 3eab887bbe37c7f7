#include "Desktop.h"

#include "DevicesList.h"
#include "ServiceSettings.h"
#include "VembrixService.h"

CDesktop::CDesktop(CVembrixService& service, CPortDiscovery& discovery)
    : m_printers(service.labelBridge(), service.posBridge()),
      m_presenter(CDevicesList::instance(), CServiceSettings::instance(), service, discovery,
                  m_printers),
      m_window(m_presenter) {}
