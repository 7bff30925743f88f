'''BlueZ as the kit's Bluetooth backend sees it, for python-dbusmock.

Loaded with `python3 -m dbusmock --system --template bluez_template.py`. It builds on dbusmock's
stock bluez5 template (the object manager at "/", AgentManager1 and ProfileManager1 at /org/bluez,
adapters at /org/bluez/<name>) and adds the behaviour of bluetoothd that the stock template lacks:

- Devices appear during a discovery: AddDiscoverableDevice registers a device that shows up
  (InterfacesAdded) a given delay after StartDiscovery on its adapter, unless discovery stops first.
- StartDiscovery works with or without SetDiscoveryFilter; on an unpowered adapter it fails with
  org.bluez.Error.NotReady; StopDiscovery by a client that did not start fails with
  org.bluez.Error.Failed "No discovery started".
- Device1.Pair is answered asynchronously: bluetoothd asks the agent registered by the connection
  that called Pair (RequestPinCode, or RequestPasskey for a passkey device) and compares the answer;
  a wrong one gives AuthenticationFailed, an agent's Rejected/Canceled give AuthenticationRejected/
  AuthenticationCanceled, pairing a paired device AlreadyExists.
- Profiles: ConnectProfile(uuid) hands a connected socket to the registered client profile's
  NewConnection (the mock's end of the pair writes "KVMOCK <address>" first), and returns once
  that call has been answered; with no profile for the uuid it fails as bluetoothd does.
- Errors carry bluetoothd's names (org.bluez.Error.*).

Assumed of the real daemon, not modelled: agents and profiles of a client that leaves the bus are
dropped by bluetoothd; here they stay registered, so tests see whether the client unregistered them.
Unpaired devices are dropped about 30 s after a discovery; DropUnpairedDevices does it on request.
'''

import os
import socket
import sys

import dbus
from gi.repository import GLib

from dbusmock import OBJECT_MANAGER_IFACE, mockobject

sys.path.insert(0, os.path.dirname(mockobject.__file__) + '/templates')
import bluez5  # noqa: E402  pylint: disable=wrong-import-position

BUS_NAME = bluez5.BUS_NAME
MAIN_OBJ = bluez5.MAIN_OBJ
SYSTEM_BUS = True
IS_OBJECT_MANAGER = True

MOCK_IFACE = 'org.bluez.Mock'
ADAPTER_IFACE = 'org.bluez.Adapter1'
DEVICE_IFACE = 'org.bluez.Device1'
AGENT_MANAGER_IFACE = 'org.bluez.AgentManager1'
PROFILE_MANAGER_IFACE = 'org.bluez.ProfileManager1'
AGENT_IFACE = 'org.bluez.Agent1'
PROFILE_IFACE = 'org.bluez.Profile1'

state = {
    'log': [],            # the calls tests look at, in order
    'agents': {},         # (sender, path) -> capability
    'profiles': {},       # (sender, path) -> uuid (lower case)
    'discovering': {},    # adapter name -> set of senders that started discovery
    'discoverable': {},   # address -> (adapter name, name, class, pin, delay ms)
    'pins': {},           # address -> pin
    'passkeys': {},       # address -> passkey (device asks RequestPasskey)
    'connect_errors': {},  # address -> (error name, message)
    'sockets': {},        # address -> the mock's end of each handed-over link
}


def error(name, message):
    return dbus.exceptions.DBusException(message, name='org.bluez.Error.' + name)


def log(entry):
    state['log'].append(entry)


def adapter_name(path):
    return str(path).rsplit('/', 1)[-1]


def device_path(adapter, address):
    return '/org/bluez/' + adapter + '/dev_' + address.replace(':', '_').upper()


def find_device(address):
    for path, obj in mockobject.objects.items():
        props = obj.props.get(DEVICE_IFACE)
        if props and str(props['Address']).upper() == address.upper():
            return path, obj
    return None, None


def set_props(obj, interface, changes):
    for key, value in changes.items():
        obj.props[interface][key] = value
    obj.EmitSignal(dbus.PROPERTIES_IFACE, 'PropertiesChanged', 'sa{sv}as', [interface, changes, []])


def bus():
    return dbus.SystemBus()


# ---- Adapters ----

@dbus.service.method(ADAPTER_IFACE, in_signature='a{sv}', out_signature='', sender_keyword='sender')
def SetDiscoveryFilter(adapter, discovery_filter, sender=None):
    text = ' '.join(f'{k}={v}' for k, v in sorted(discovery_filter.items()))
    log(f'SetDiscoveryFilter {adapter_name(adapter.path)} {text}'.rstrip())
    adapter.props[ADAPTER_IFACE]['DiscoveryFilter'] = discovery_filter


def appear(adapter_obj, address):
    '''Puts a discoverable device in the tree while its adapter is still discovering.'''
    name = adapter_name(adapter_obj.path)
    entry = state['discoverable'].get(address)
    if entry is None or not state['discovering'].get(name):
        return False
    path, _ = find_device(address)
    if path is None:
        add_device(name, address, entry[1], entry[2], False, False, entry[3])
    return False  # a GLib timeout that runs once


@dbus.service.method(ADAPTER_IFACE, in_signature='', out_signature='', sender_keyword='sender')
def StartDiscovery(adapter, sender=None):
    name = adapter_name(adapter.path)
    log(f'StartDiscovery {name}')
    if not adapter.props[ADAPTER_IFACE]['Powered']:
        raise error('NotReady', 'Resource Not Ready')
    clients = state['discovering'].setdefault(name, set())
    if sender in clients:
        raise error('InProgress', 'Operation already in progress')
    clients.add(sender)
    set_props(adapter, ADAPTER_IFACE, {'Discovering': dbus.Boolean(True, variant_level=1)})
    for address, entry in state['discoverable'].items():
        if entry[0] != name:
            continue
        if entry[4] == 0:
            appear(adapter, address)
        else:
            GLib.timeout_add(entry[4], appear, adapter, address)


@dbus.service.method(ADAPTER_IFACE, in_signature='', out_signature='', sender_keyword='sender')
def StopDiscovery(adapter, sender=None):
    name = adapter_name(adapter.path)
    log(f'StopDiscovery {name}')
    clients = state['discovering'].setdefault(name, set())
    if sender not in clients:
        raise error('Failed', 'No discovery started')
    clients.discard(sender)
    if not clients:
        set_props(adapter, ADAPTER_IFACE, {'Discovering': dbus.Boolean(False, variant_level=1)})


@dbus.service.method(ADAPTER_IFACE, in_signature='o', out_signature='')
def RemoveDevice(adapter, path):
    log(f'RemoveDevice {path}')
    obj = mockobject.objects.get(str(path))
    if obj is None or DEVICE_IFACE not in obj.props:
        raise error('DoesNotExist', 'Does Not Exist')
    remove_device(str(path))


def remove_device(path):
    obj = mockobject.objects[path]
    address = str(obj.props[DEVICE_IFACE]['Address'])
    for end in state['sockets'].pop(address, []):
        end.close()
    obj.remove_from_connection()
    del mockobject.objects[path]
    mockobject.objects['/'].EmitSignal(OBJECT_MANAGER_IFACE, 'InterfacesRemoved', 'oas',
                                       [dbus.ObjectPath(path), [DEVICE_IFACE]])


# ---- Devices ----

def add_device(adapter, address, name, class_, paired, trusted, pin):
    path = device_path(adapter, address)
    props = {
        'Address': dbus.String(address.upper(), variant_level=1),
        'AddressType': dbus.String('public', variant_level=1),
        'Alias': dbus.String(name if name else address.upper().replace(':', '-'), variant_level=1),
        'Class': dbus.UInt32(class_, variant_level=1),
        'Paired': dbus.Boolean(paired, variant_level=1),
        'Bonded': dbus.Boolean(paired, variant_level=1),
        'Trusted': dbus.Boolean(trusted, variant_level=1),
        'Blocked': dbus.Boolean(False, variant_level=1),
        'Connected': dbus.Boolean(False, variant_level=1),
        'LegacyPairing': dbus.Boolean(True, variant_level=1),
        'Adapter': dbus.ObjectPath('/org/bluez/' + adapter, variant_level=1),
        'UUIDs': dbus.Array(['00001101-0000-1000-8000-00805f9b34fb'], signature='s', variant_level=1),
    }
    if name:
        props['Name'] = dbus.String(name, variant_level=1)
    root = mockobject.objects['/']
    root.AddObject(path, DEVICE_IFACE, props, [])
    root.EmitSignal(OBJECT_MANAGER_IFACE, 'InterfacesAdded', 'oa{sa{sv}}',
                    [dbus.ObjectPath(path), {DEVICE_IFACE: props}])
    obj = mockobject.objects[path]
    for member, (in_sig, out_sig, fn) in DEVICE_METHODS.items():
        obj.methods.setdefault(DEVICE_IFACE, {})[member] = (in_sig, out_sig, '', fn)
    obj.methods.setdefault(dbus.PROPERTIES_IFACE, {})['Set'] = ('ssv', '', '', SetProperty)
    state['pins'][address.upper()] = pin
    return path


@dbus.service.method(dbus.PROPERTIES_IFACE, in_signature='ssv', out_signature='')
def SetProperty(obj, interface, name, value):
    if interface == DEVICE_IFACE and name == 'Trusted':
        log(f'SetTrusted {obj.props[DEVICE_IFACE]["Address"]} {"true" if value else "false"}')
    set_props(obj, interface, {name: value})


@dbus.service.method(DEVICE_IFACE, in_signature='', out_signature='', sender_keyword='sender',
                     async_callbacks=('ok', 'fail'))
def Pair(device, sender=None, ok=None, fail=None):
    address = str(device.props[DEVICE_IFACE]['Address'])
    log(f'Pair {address}')
    if device.props[DEVICE_IFACE]['Paired']:
        fail(error('AlreadyExists', 'Already Exists'))
        return
    agents = [path for (owner, path) in state['agents'] if owner == sender]
    if not agents:
        fail(error('AuthenticationFailed', 'No agent for this client'))
        return
    agent = agents[0]
    passkey = state['passkeys'].get(address)

    def answered(value):
        expected = passkey if passkey is not None else state['pins'].get(address)
        if (int(value) if passkey is not None else str(value)) != expected:
            fail(error('AuthenticationFailed', 'Authentication Failed'))
            return
        set_props(device, DEVICE_IFACE, {'Paired': dbus.Boolean(True, variant_level=1),
                                         'Bonded': dbus.Boolean(True, variant_level=1)})
        ok()

    def refused(exception):
        name = exception.get_dbus_name()
        if name == 'org.bluez.Error.Canceled':
            fail(error('AuthenticationCanceled', 'Authentication Canceled'))
        elif name == 'org.freedesktop.DBus.Error.NoReply':
            bus().call_async(sender, agent, AGENT_IFACE, 'Cancel', '', [], None, None)
            fail(error('AuthenticationTimeout', 'Authentication Timeout'))
        else:
            fail(error('AuthenticationRejected', 'Authentication Rejected'))

    method, signature = ('RequestPasskey', 'o') if passkey is not None else ('RequestPinCode', 'o')
    bus().call_async(sender, agent, AGENT_IFACE, method, signature, [dbus.ObjectPath(device.path)],
                     answered, refused, timeout=25)


@dbus.service.method(DEVICE_IFACE, in_signature='s', out_signature='', sender_keyword='sender',
                     async_callbacks=('ok', 'fail'))
def ConnectProfile(device, uuid, sender=None, ok=None, fail=None):
    address = str(device.props[DEVICE_IFACE]['Address'])
    log(f'ConnectProfile {address} {uuid}')
    if address in state['connect_errors']:
        name, message = state['connect_errors'][address]
        fail(dbus.exceptions.DBusException(message, name=name))
        return
    owners = [(owner, path) for (owner, path), registered in state['profiles'].items()
              if registered == str(uuid).lower()]
    if not owners:
        fail(error('Failed', 'br-connection-profile-unavailable'))
        return
    owner, path = owners[0]
    ours, theirs = socket.socketpair(socket.AF_UNIX, socket.SOCK_STREAM)
    ours.sendall(f'KVMOCK {address}\n'.encode())
    state['sockets'].setdefault(address, []).append(ours)

    def handed(*_):
        theirs.close()
        set_props(device, DEVICE_IFACE, {'Connected': dbus.Boolean(True, variant_level=1)})
        ok()

    def refused(exception):
        theirs.close()
        fail(error('Failed', 'NewConnection refused: ' + exception.get_dbus_name()))

    bus().call_async(owner, path, PROFILE_IFACE, 'NewConnection', 'oha{sv}',
                     [dbus.ObjectPath(device.path), dbus.types.UnixFd(theirs.fileno()), {}],
                     handed, refused, timeout=25)


@dbus.service.method(DEVICE_IFACE, in_signature='', out_signature='')
def CancelPairing(device):
    log(f'CancelPairing {device.props[DEVICE_IFACE]["Address"]}')


DEVICE_METHODS = {
    'Pair': ('', '', Pair),
    'ConnectProfile': ('s', '', ConnectProfile),
    'CancelPairing': ('', '', CancelPairing),
}


# ---- Managers ----

@dbus.service.method(AGENT_MANAGER_IFACE, in_signature='os', out_signature='', sender_keyword='sender')
def RegisterAgent(_manager, path, capability, sender=None):
    log(f'RegisterAgent {path} {capability}')
    if (sender, str(path)) in state['agents']:
        raise error('AlreadyExists', 'Already Exists')
    if capability not in ('DisplayOnly', 'DisplayYesNo', 'KeyboardOnly', 'NoInputNoOutput', 'KeyboardDisplay', ''):
        raise error('InvalidArguments', 'Invalid arguments in method call')
    state['agents'][(sender, str(path))] = str(capability)


@dbus.service.method(AGENT_MANAGER_IFACE, in_signature='o', out_signature='', sender_keyword='sender')
def UnregisterAgent(_manager, path, sender=None):
    log(f'UnregisterAgent {path}')
    if state['agents'].pop((sender, str(path)), None) is None:
        raise error('DoesNotExist', 'Does Not Exist')


@dbus.service.method(PROFILE_MANAGER_IFACE, in_signature='osa{sv}', out_signature='', sender_keyword='sender')
def RegisterProfile(_manager, path, uuid, options, sender=None):
    text = ' '.join(f'{k}={v}' for k, v in sorted(options.items()) if k == 'Role')
    log(f'RegisterProfile {path} {uuid} {text}'.rstrip())
    if (sender, str(path)) in state['profiles']:
        raise error('AlreadyExists', 'Already Exists')
    state['profiles'][(sender, str(path))] = str(uuid).lower()


@dbus.service.method(PROFILE_MANAGER_IFACE, in_signature='o', out_signature='', sender_keyword='sender')
def UnregisterProfile(_manager, path, sender=None):
    log(f'UnregisterProfile {path}')
    if state['profiles'].pop((sender, str(path)), None) is None:
        raise error('DoesNotExist', 'Does Not Exist')


# ---- The mock's own interface, for the tests ----

@dbus.service.method(MOCK_IFACE, in_signature='sss', out_signature='s')
def AddAdapterAt(_self, name, alias, address):
    path = bluez5.AddAdapter(mockobject.objects['/'], name, alias)
    adapter = mockobject.objects[path]
    adapter.props[ADAPTER_IFACE]['Address'] = dbus.String(address, variant_level=1)
    adapter.props[ADAPTER_IFACE]['Alias'] = dbus.String(alias, variant_level=1)
    for member, fn, in_sig in (('SetDiscoveryFilter', SetDiscoveryFilter, 'a{sv}'),
                               ('StartDiscovery', StartDiscovery, ''),
                               ('StopDiscovery', StopDiscovery, ''),
                               ('RemoveDevice', RemoveDevice, 'o')):
        adapter.methods.setdefault(ADAPTER_IFACE, {})[member] = (in_sig, '', '', fn)
    return path


@dbus.service.method(MOCK_IFACE, in_signature='sb', out_signature='')
def SetPowered(_self, name, powered):
    set_props(mockobject.objects['/org/bluez/' + name], ADAPTER_IFACE,
              {'Powered': dbus.Boolean(powered, variant_level=1)})


@dbus.service.method(MOCK_IFACE, in_signature='sssubbs', out_signature='s')
def AddKnownDevice(_self, adapter, address, name, class_, paired, trusted, pin):
    return add_device(str(adapter), str(address), str(name), int(class_), bool(paired), bool(trusted), str(pin))


@dbus.service.method(MOCK_IFACE, in_signature='sssusu', out_signature='')
def AddDiscoverableDevice(_self, adapter, address, name, class_, pin, delay_ms):
    state['discoverable'][str(address).upper()] = (str(adapter), str(name), int(class_), str(pin), int(delay_ms))


@dbus.service.method(MOCK_IFACE, in_signature='su', out_signature='')
def SetPasskeyMode(_self, address, passkey):
    state['passkeys'][str(address).upper()] = int(passkey)


@dbus.service.method(MOCK_IFACE, in_signature='sss', out_signature='')
def SetConnectProfileError(_self, address, name, message):
    state['connect_errors'][str(address).upper()] = (str(name), str(message))


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='')
def DropUnpairedDevices(_self, adapter):
    prefix = '/org/bluez/' + adapter + '/'
    for path in [p for p in mockobject.objects if p.startswith(prefix)]:
        props = mockobject.objects[path].props.get(DEVICE_IFACE)
        if props and not props['Paired'] and not props['Trusted']:
            remove_device(path)


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='as')
def RegisteredAgents(_self):
    return dbus.Array([path for (_, path) in state['agents']], signature='s')


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='as')
def RegisteredProfiles(_self):
    return dbus.Array([path for (_, path) in state['profiles']], signature='s')


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='as')
def CallLog(_self):
    return dbus.Array(state['log'], signature='s')


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='b')
def Discovering(_self, name):
    return bool(state['discovering'].get(str(name)))


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='bbbb')
def DeviceState(_self, address):
    _, obj = find_device(str(address))
    if obj is None:
        return (False, False, False, False)
    props = obj.props[DEVICE_IFACE]
    return (True, bool(props['Paired']), bool(props['Trusted']), bool(props['Connected']))


def load(mock, parameters):
    bluez5.load(mock, parameters)
    manager = mockobject.objects['/org/bluez']
    for member, fn, in_sig in (('RegisterAgent', RegisterAgent, 'os'), ('UnregisterAgent', UnregisterAgent, 'o')):
        manager.methods.setdefault(AGENT_MANAGER_IFACE, {})[member] = (in_sig, '', '', fn)
    for member, fn, in_sig in (('RegisterProfile', RegisterProfile, 'osa{sv}'),
                               ('UnregisterProfile', UnregisterProfile, 'o')):
        manager.methods.setdefault(PROFILE_MANAGER_IFACE, {})[member] = (in_sig, '', '', fn)
