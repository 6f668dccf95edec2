<?xml version="1.0" ?>
<HEADER_INFO xmlns="http://schemas.orbiscan.invalid/header"
	xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"
	xsi:schemaLocation="http://schemas.orbiscan.invalid/header
	http://schemas.orbiscan.invalid/header/OrbiscanHeaderSchema_version_1.0.xsd">
   <RegistrationCoordinates>
      <pixel_row>
         <VectorDouble NumberOfElements = "4">
            <ValueDouble ID = "0">0</ValueDouble>
            <ValueDouble ID = "1">0</ValueDouble>
            <ValueDouble ID = "2">4095</ValueDouble>
            <ValueDouble ID = "3">4095</ValueDouble>
         </VectorDouble>
      </pixel_row>
      <pixel_column>
         <VectorDouble NumberOfElements = "4">
            <ValueDouble ID = "0">0</ValueDouble>
            <ValueDouble ID = "1">2047</ValueDouble>
            <ValueDouble ID = "2">0</ValueDouble>
            <ValueDouble ID = "3">2047</ValueDouble>
         </VectorDouble>
      </pixel_column>
      <pixels_latitude>
         <VectorDouble NumberOfElements = "4">
            <ValueDouble ID = "0">46.25</ValueDouble>
            <ValueDouble ID = "1">46.125</ValueDouble>
            <ValueDouble ID = "2">45.5</ValueDouble>
            <ValueDouble ID = "3">45.375</ValueDouble>
         </VectorDouble>
      </pixels_latitude>
      <pixels_longitude>
         <VectorDouble NumberOfElements = "4">
            <ValueDouble ID = "0">10.5</ValueDouble>
            <ValueDouble ID = "1">11.5</ValueDouble>
            <ValueDouble ID = "2">10.25</ValueDouble>
            <ValueDouble ID = "3">11.25</ValueDouble>
         </VectorDouble>
      </pixels_longitude>
   </RegistrationCoordinates>
   <AcquisitionParameters>
      <AcquisitionTime>01-MAY-2019 05:12:33.000000</AcquisitionTime>
      <EndAcquisitionTime>01-MAY-2019 05:12:58.000000</EndAcquisitionTime>
      <LINE_OFF>2048</LINE_OFF>
      <SAMP_OFF>1024</SAMP_OFF>
      <LAT_OFF>45.8125</LAT_OFF>
      <LONG_OFF>10.875</LONG_OFF>
      <HEIGHT_OFF>250</HEIGHT_OFF>
      <LINE_SCALE>2048</LINE_SCALE>
      <SAMP_SCALE>1024</SAMP_SCALE>
      <LAT_SCALE>0.5</LAT_SCALE>
      <LONG_SCALE>0.75</LONG_SCALE>
      <HEIGHT_SCALE>500</HEIGHT_SCALE>
      <LINE_NUM_COEFF>
         <VectorDouble NumberOfElements = "20">
            <ValueDouble ID = "0">0</ValueDouble>
            <ValueDouble ID = "1">1</ValueDouble>
            <ValueDouble ID = "2">-0.25</ValueDouble>
            <ValueDouble ID = "3">0</ValueDouble>
            <ValueDouble ID = "4">0</ValueDouble>
            <ValueDouble ID = "5">0</ValueDouble>
            <ValueDouble ID = "6">0</ValueDouble>
            <ValueDouble ID = "7">0</ValueDouble>
            <ValueDouble ID = "8">0</ValueDouble>
            <ValueDouble ID = "9">0</ValueDouble>
            <ValueDouble ID = "10">0</ValueDouble>
            <ValueDouble ID = "11">0</ValueDouble>
            <ValueDouble ID = "12">0</ValueDouble>
            <ValueDouble ID = "13">0</ValueDouble>
            <ValueDouble ID = "14">0</ValueDouble>
            <ValueDouble ID = "15">0</ValueDouble>
            <ValueDouble ID = "16">0</ValueDouble>
            <ValueDouble ID = "17">0</ValueDouble>
            <ValueDouble ID = "18">0</ValueDouble>
            <ValueDouble ID = "19">0</ValueDouble>
         </VectorDouble>
      </LINE_NUM_COEFF>
      <LINE_DEN_COEFF>
         <VectorDouble NumberOfElements = "20">
            <ValueDouble ID = "0">1</ValueDouble>
            <ValueDouble ID = "1">0</ValueDouble>
            <ValueDouble ID = "2">0</ValueDouble>
            <ValueDouble ID = "3">0</ValueDouble>
            <ValueDouble ID = "4">0</ValueDouble>
            <ValueDouble ID = "5">0</ValueDouble>
            <ValueDouble ID = "6">0</ValueDouble>
            <ValueDouble ID = "7">0</ValueDouble>
            <ValueDouble ID = "8">0</ValueDouble>
            <ValueDouble ID = "9">0</ValueDouble>
            <ValueDouble ID = "10">0</ValueDouble>
            <ValueDouble ID = "11">0</ValueDouble>
            <ValueDouble ID = "12">0</ValueDouble>
            <ValueDouble ID = "13">0</ValueDouble>
            <ValueDouble ID = "14">0</ValueDouble>
            <ValueDouble ID = "15">0</ValueDouble>
            <ValueDouble ID = "16">0</ValueDouble>
            <ValueDouble ID = "17">0</ValueDouble>
            <ValueDouble ID = "18">0</ValueDouble>
            <ValueDouble ID = "19">0</ValueDouble>
         </VectorDouble>
      </LINE_DEN_COEFF>
      <SAMP_NUM_COEFF>
         <VectorDouble NumberOfElements = "20">
            <ValueDouble ID = "0">0</ValueDouble>
            <ValueDouble ID = "1">1</ValueDouble>
            <ValueDouble ID = "2">-0.25</ValueDouble>
            <ValueDouble ID = "3">0</ValueDouble>
            <ValueDouble ID = "4">0</ValueDouble>
            <ValueDouble ID = "5">0</ValueDouble>
            <ValueDouble ID = "6">0</ValueDouble>
            <ValueDouble ID = "7">0</ValueDouble>
            <ValueDouble ID = "8">0</ValueDouble>
            <ValueDouble ID = "9">0</ValueDouble>
            <ValueDouble ID = "10">0</ValueDouble>
            <ValueDouble ID = "11">0</ValueDouble>
            <ValueDouble ID = "12">0</ValueDouble>
            <ValueDouble ID = "13">0</ValueDouble>
            <ValueDouble ID = "14">0</ValueDouble>
            <ValueDouble ID = "15">0</ValueDouble>
            <ValueDouble ID = "16">0</ValueDouble>
            <ValueDouble ID = "17">0</ValueDouble>
            <ValueDouble ID = "18">0</ValueDouble>
            <ValueDouble ID = "19">0</ValueDouble>
         </VectorDouble>
      </SAMP_NUM_COEFF>
      <SAMP_DEN_COEFF>
         <VectorDouble NumberOfElements = "20">
            <ValueDouble ID = "0">1</ValueDouble>
            <ValueDouble ID = "1">0</ValueDouble>
            <ValueDouble ID = "2">0</ValueDouble>
            <ValueDouble ID = "3">0</ValueDouble>
            <ValueDouble ID = "4">0</ValueDouble>
            <ValueDouble ID = "5">0</ValueDouble>
            <ValueDouble ID = "6">0</ValueDouble>
            <ValueDouble ID = "7">0</ValueDouble>
            <ValueDouble ID = "8">0</ValueDouble>
            <ValueDouble ID = "9">0</ValueDouble>
            <ValueDouble ID = "10">0</ValueDouble>
            <ValueDouble ID = "11">0</ValueDouble>
            <ValueDouble ID = "12">0</ValueDouble>
            <ValueDouble ID = "13">0</ValueDouble>
            <ValueDouble ID = "14">0</ValueDouble>
            <ValueDouble ID = "15">0</ValueDouble>
            <ValueDouble ID = "16">0</ValueDouble>
            <ValueDouble ID = "17">0</ValueDouble>
            <ValueDouble ID = "18">0</ValueDouble>
            <ValueDouble ID = "19">0</ValueDouble>
         </VectorDouble>
      </SAMP_DEN_COEFF>
   </AcquisitionParameters>
   <ChannelInfo>
      <Description>
         <VectorString NumberOfElements = "2">
            <ValueString ID = "0">HH</ValueString>
            <ValueString ID = "1">HV</ValueString>
         </VectorString>
      </Description>
      <Polarization>HH</Polarization>
      <IncidenceAngle>33.5</IncidenceAngle>
   </ChannelInfo>
   <Sensor>
      <SensorName>SENTINEL-1B</SensorName>
   </Sensor>
   <RasterInfo>
      <NrOfLinesPerImage>4096</NrOfLinesPerImage>
      <NrOfPixelsPerLine>2048</NrOfPixelsPerLine>
      <NrOfChannels>1</NrOfChannels>
      <CellType>SHORT_COMPLEX</CellType>
      <DataUnits>SLC</DataUnits>
      <HeaderOffset>0</HeaderOffset>
      <RowPrefix>0</RowPrefix>
      <RowSuffix>0</RowSuffix>
      <Interleave>bip</Interleave>
      <BytesOrder>MSBF</BytesOrder>
      <NullCellValue>0</NullCellValue>
      <TiffLUTRed>
         <VectorInteger NumberOfElements = "2">
            <ValueInteger ID = "0">0</ValueInteger>
            <ValueInteger ID = "1">255</ValueInteger>
         </VectorInteger>
      </TiffLUTRed>
      <TiffLUTGreen>
         <VectorInteger NumberOfElements = "2">
            <ValueInteger ID = "0">0</ValueInteger>
            <ValueInteger ID = "1">128</ValueInteger>
         </VectorInteger>
      </TiffLUTGreen>
      <TiffLUTBlue>
         <VectorInteger NumberOfElements = "2">
            <ValueInteger ID = "0">0</ValueInteger>
            <ValueInteger ID = "1">0</ValueInteger>
         </VectorInteger>
      </TiffLUTBlue>
      <OtherInfo>
         <MatrixString NumberOfRows = "3" NumberOfColumns = "2">
            <MatrixRowString ID = "0">
               <ValueString ID = "0">ORIGIN DATA</ValueString>
               <ValueString ID = "1">SLC</ValueString>
            </MatrixRowString>
            <MatrixRowString ID = "1">
               <ValueString ID = "0">SCENE DATA</ValueString>
               <ValueString ID = "1">IW1 burst &lt;3&gt;</ValueString>
            </MatrixRowString>
            <MatrixRowString ID = "2">
               <ValueString ID = "0">SOFTWARE</ValueString>
               <ValueString ID = "1">5.5.2.1</ValueString>
            </MatrixRowString>
         </MatrixString>
      </OtherInfo>
      <product_type>SLC</product_type>
      <product_information>IW1 burst &lt;3&gt;</product_information>
   </RasterInfo>
   <InitialGeometry>
      <Projection>SLANT_RANGE</Projection>
   </InitialGeometry>
   <Processing>
      <PixelSpacingRg>2.5</PixelSpacingRg>
      <PixelSpacingAz>14</PixelSpacingAz>
      <ProcessingTime>02-MAY-2019 10:00:00.000000</ProcessingTime>
      <DopCenRangeCoeff>
         <VectorDouble NumberOfElements = "3">
            <ValueDouble ID = "0">12.5</ValueDouble>
            <ValueDouble ID = "1">-0.125</ValueDouble>
            <ValueDouble ID = "2">0</ValueDouble>
         </VectorDouble>
      </DopCenRangeCoeff>
      <DopCenRefTime>18753.5</DopCenRefTime>
      <DopCenRgRefTime>0.00530000000000000002359223927328</DopCenRgRefTime>
      <RangeDoppler_fref>5405000454.33434963226318359375</RangeDoppler_fref>
   </Processing>
</HEADER_INFO>
